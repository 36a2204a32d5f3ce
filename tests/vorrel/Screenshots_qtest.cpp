// Pictures of the real window on a real X display (run under xvfb-run), in the language of
// the environment (CTest runs it in English and in German): each pane and the Help menu
// with "Log to File" off and on; and once more with every text 40 % longer, as a longer
// language would have it (VORREL_PSEUDO_TRANSLATION set). The window opens at its size and
// can be resized; at the size it opens with and at its minimum every text of a pane is
// drawn inside the window, whole (not cut off at its edges, wrapped text as tall as it
// needs) and visibly (ink where it stands); a menu entry is as wide as its text; the
// "Log to File" entry shows a check mark when on. The pictures are written to
// $VORREL_SCREENSHOT_DIR when set, for people to look at.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTest>
#include <QTranslator>

#include "settings/SharedSettings.h"
#include "support/TempHome.h"
#include "vorrel/AppLanguage.h"
#include "vorrel/ContentView.h"
#include "vorrel/MainWindow.h"
#include "vorrel/Translations.h"
#include "vorrel/VorrelApp.h"

using namespace vorrel;

namespace {

void keep(const QImage& image, const QString& name) {
    const QString folder = qEnvironmentVariable("VORREL_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    const QString language = qEnvironmentVariableIsSet("VORREL_PSEUDO_TRANSLATION")
                                 ? QStringLiteral("long")
                                 : QLocale().name().left(2);
    QVERIFY(image.save(QDir(folder).filePath(QStringLiteral("vorrel-%1-%2.png").arg(language, name))));
}

// Pixels of a region that differ clearly from its most common colour (the background).
int inkIn(const QImage& image, const QRect& region) {
    const QRect area = region.intersected(image.rect());
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) std::tie(background, most) = std::pair{it.key(), it.value()};
    int ink = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const QRgb c = it.key();
        const int distance = std::abs(qRed(c) - qRed(background)) + std::abs(qGreen(c) - qGreen(background)) +
                             std::abs(qBlue(c) - qBlue(background));
        if (distance > 96) ink += it.value();
    }
    return ink;
}

QString textOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return {};
}

// The width a text widget needs: for plain text the advance of its longest line (a label's
// size hint adds a pixel of its own), otherwise its size hint.
int neededWidth(const QWidget* widget) {
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (!label || (label->textFormat() != Qt::PlainText && Qt::mightBeRichText(label->text())))
        return widget->sizeHint().width();
    int width = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
        width = std::max(width, label->fontMetrics().horizontalAdvance(line));
    return width + 2 * label->margin();
}

// Why a text widget of the window is not shown whole, or an empty string.
QString clipping(const QWidget* widget, const QWidget* window, const QImage& picture) {
    const QRect inWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
    if (!window->rect().contains(inWindow)) return QStringLiteral("outside the window");
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (label && label->wordWrap()) {
        if (widget->height() < label->heightForWidth(widget->width())) return QStringLiteral("too short");
    } else if (widget->width() < neededWidth(widget) || widget->height() < widget->fontMetrics().height()) {
        return QStringLiteral("smaller than its text");
    }
    const qreal ratio = picture.devicePixelRatio();
    const QRect pixels(inWindow.topLeft() * ratio, inWindow.size() * ratio);
    if (inkIn(picture, pixels) < 20) return QStringLiteral("nothing drawn");
    return {};
}

// Every text 40 % longer than its translation (or its English), in words that wrap, as a
// longer language would have it.
class PseudoTranslator : public QTranslator {
public:
    explicit PseudoTranslator(QObject* parent) : QTranslator(parent) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        if (busy_) return {};
        busy_ = true;  // ask the other catalogues for the text first
        QString text = QCoreApplication::translate(context, source, disambiguation, n);
        busy_ = false;
        const qsizetype extra = (text.size() * 2 + 4) / 5;
        for (qsizetype added = 0; added < extra; added += 5) text += QStringLiteral(" wxyz");
        return text;
    }

private:
    mutable bool busy_ = false;
};

// Checks every visible text of a pane against the window's picture; returns how many.
int checkTexts(QWidget* pane, QWidget* window, const QImage& picture) {
    int checked = 0;
    QList<QWidget*> widgets = pane->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(window) || textOf(widget).isEmpty()) continue;
        const QString problem = clipping(widget, window, picture);
        if (!problem.isEmpty()) {
            QTest::qFail(qPrintable(QStringLiteral("“%1”: %2").arg(textOf(widget), problem)), __FILE__, __LINE__);
            return -1;
        }
        ++checked;
    }
    return checked;
}

// The Help menu on screen, its picture, and the rectangle of the "Log to File" entry.
QImage menuPicture(QMenu* menu, QAction* entry, QRect* entryRect) {
    menu->popup(QPoint(40, 40));
    if (!QTest::qWaitForWindowExposed(menu)) return {};
    QTest::qWait(50);
    const QImage picture = menu->grab().toImage();
    const qreal ratio = picture.devicePixelRatio();
    const QRect rect = menu->actionGeometry(entry);
    *entryRect = QRect(rect.topLeft() * ratio, rect.size() * ratio);
    menu->hide();
    return picture;
}

}  // namespace

class ScreenshotsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempHome> home_;
    std::unique_ptr<VorrelApp> app_;
    MainWindow* window_ = nullptr;

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under xvfb-run");
        home_ = std::make_unique<test::TempHome>();
        QApplication::setApplicationDisplayName(QStringLiteral("Vorrel"));  // as the program does
        installTranslations();
        if (qEnvironmentVariableIsSet("VORREL_PSEUDO_TRANSLATION"))
            QCoreApplication::installTranslator(new PseudoTranslator(qApp));
        app_ = std::make_unique<VorrelApp>();
        window_ = app_->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
    }
    void cleanupTestCase() {
        app_.reset();
        home_.reset();
    }

    void windowOpensAtItsSizeAndResizes() {
        const QSize row = contentSize(windowSizeTable[std::size_t(appLanguage())]);
        const QSize content = window_->contentView()->size();
        QVERIFY2(content.width() >= row.width() && content.height() >= row.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(content.width()).arg(content.height())));
        QVERIFY(window_->minimumSize() != window_->maximumSize());
        window_->resize(window_->size() + QSize(120, 80));
        QTRY_COMPARE(window_->contentView()->size(), content + QSize(120, 80));
    }

    // Shrunk to its minimum, every pane still shows each of its texts whole.
    void panesAreWholeAtTheMinimumSize() {
        const QSize opened = window_->size();
        window_->resize(window_->minimumSize());
        QTRY_COMPARE(window_->size(), window_->minimumSize());
        for (const SidebarPane pane : allSidebarPanes) {
            app_->selectedPane().setPane(pane);
            QTest::qWait(50);
            const QImage picture = window_->grab().toImage();
            QVERIFY2(checkTexts(window_->contentView()->currentWidget(), window_, picture) >= 1,
                     rawValue(pane).data());
        }
        window_->resize(opened);
        QTRY_COMPARE(window_->size(), opened);
    }

    void panes_data() {
        QTest::addColumn<int>("pane");
        for (const SidebarPane pane : allSidebarPanes)
            QTest::newRow(rawValue(pane).data()) << int(pane);
    }
    void panes() {
        QFETCH(int, pane);
        app_->selectedPane().setPane(SidebarPane(pane));
        QWidget* page = window_->contentView()->currentWidget();
        QTest::qWait(50);  // let the tab repaint before it is grabbed
        const QImage picture = window_->grab().toImage();
        QCOMPARE(picture.size(), window_->size() * window_->devicePixelRatio());
        keep(picture, QString::fromLatin1(rawValue(SidebarPane(pane)).data()).toLower());
        QVERIFY(checkTexts(page, window_, picture) >= 1);
        // Tab titles and menu titles are not cut short either.
        QVERIFY(window_->contentView()->tabBar()->width() >= window_->contentView()->tabBar()->sizeHint().width());
        QVERIFY(window_->menuBar()->width() >= window_->menuBar()->sizeHint().width());
    }

    void fileAndViewMenus() {
        for (QMenu* menu : {window_->fileMenu(), window_->viewMenu()}) {
            menu->popup(QPoint(40, 40));
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            QTest::qWait(50);
            keep(menu->grab().toImage(), menu == window_->fileMenu() ? "file-menu" : "view-menu");
            // Shortcuts are drawn in the menu's language and fit beside the titles.
            QVERIFY(menu->width() >= menu->sizeHint().width());
            menu->hide();
        }
    }

    void helpMenuOffAndOn() {
        QMenu* help = window_->helpMenu();
        QAction* log = window_->logToFileAction();
        QRect offRect, onRect;
        Prefs::set(logToFile(), false);
        const QImage off = menuPicture(help, log, &offRect);
        QVERIFY(!off.isNull());
        keep(off, QStringLiteral("help-menu-off"));
        Prefs::set(logToFile(), true);
        const QImage on = menuPicture(help, log, &onRect);
        QVERIFY(!on.isNull());
        keep(on, QStringLiteral("help-menu-on"));

        // Every entry fits the menu.
        QVERIFY(help->width() >= help->sizeHint().width());
        for (QAction* action : help->actions())
            if (action->isVisible()) QVERIFY(help->rect().contains(help->actionGeometry(action)));

        // The entry's text is drawn the same both times (the menu is wider when on: its
        // longest entries show then); its check column is not: on shows a check mark,
        // clearly more ink than the empty box shown when off.
        QCOMPARE(offRect.height(), onRect.height());
        const int column = onRect.height();  // the check column is about as wide as the entry is tall
        const QRect offBox(offRect.topLeft(), QSize(column + 4, offRect.height()));
        const QRect onBox(onRect.topLeft(), QSize(column + 4, onRect.height()));
        const int textWidth = int(help->fontMetrics().horizontalAdvance(log->text()) * on.devicePixelRatio());
        const QSize text(std::min(textWidth + 4, std::min(offRect.width(), onRect.width()) - column - 12),
                         onRect.height());
        QCOMPARE(off.copy(QRect(offRect.topLeft() + QPoint(column + 8, 0), text)),
                 on.copy(QRect(onRect.topLeft() + QPoint(column + 8, 0), text)));
        const int offInk = inkIn(off, offBox);
        const int onInk = inkIn(on, onBox);
        QVERIFY2(offInk > 0, "off shows no box to check");
        QVERIFY2(onInk >= offInk + 12, qPrintable(QStringLiteral("ink off %1, on %2").arg(offInk).arg(onInk)));
        Prefs::set(logToFile(), false);
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "Screenshots_qtest.moc"
