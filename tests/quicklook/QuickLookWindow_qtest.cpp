// The service's window in-process (offscreen), with the real plug-in from the build prefix
// and the real Ghostscript behind it.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QScreen>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <QWheelEvent>

#include <cmath>
#include <filesystem>
#include <optional>

#include "platform/desktop/ColorScheme.h"
#include "quicklook/ExtensionRegistry.h"
#include "quicklook/FallbackView.h"
#include "preview/zoom/PdfZoom.h"
#include "quicklook/PreviewSession.h"
#include "quicklook/QuickLookWindow.h"
#include "support/Eps.h"
#include "support/PostScript.h"
#include "support/TempHome.h"

namespace fs = std::filesystem;
using namespace vorrel;
using quicklook::QuickLookWindow;

namespace {

// Busy for a few seconds before it draws: long enough for the busy indicator.
const char* const kSlowEps =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 100\n%%EndComments\n"
    "0 1 20000000 { pop } for\n0 0 1 setrgbcolor 10 10 80 80 rectfill\nshowpage\n";

bool waitShown(QuickLookWindow& window) {
    QSignalSpy shown(&window, &QuickLookWindow::contentShown);
    return shown.count() > 0 || shown.wait(60000);
}

// Gives the window the keyboard, as a click on it would.
bool activate(QuickLookWindow& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// The bounding box of what a scrolling view's viewport draws that is not transparent: the
// pages or the picture, without the window behind them.
QRect drawnRect(const QAbstractScrollArea& view) {
    const QImage shot = view.viewport()->grab().toImage();
    QRect ink;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (qAlpha(shot.pixel(x, y)) > 0) ink |= QRect(x, y, 1, 1);
    return ink;
}

}  // namespace

class QuickLookWindowTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;
    std::optional<quicklook::ExtensionRegistry> registry;

    void setTransparent(bool on) {
        const fs::path suite =
            home->configHome() / "vorrel" / (VORREL_TEAM_ID_PREFIX "group.com.quarnix.Vorrel.json");
        home->write(fs::relative(suite, home->root()),
                    on ? R"({"transparentBackground": true})" : R"({"transparentBackground": false})");
    }

private slots:
    void initTestCase() {
        home.emplace();
        registry.emplace(QStringLiteral(VORREL_PLUGIN_FOLDER));
        QVERIFY(registry->declaredMimeTypes().contains("image/x-eps"));
    }
    void cleanupTestCase() {
        registry.reset();
        home.reset();
    }

    void fittedSize_data() {
        QTest::addColumn<QSizeF>("content");
        QTest::addColumn<QSize>("bounds");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("no content: fallback size") << QSizeF() << QSize(1000, 800) << QSize(480, 360);
        QTest::newRow("fits as it is") << QSizeF(300.4, 199.6) << QSize(1000, 800) << QSize(300, 200);
        QTest::newRow("tiny: minimum size") << QSizeF(50, 40) << QSize(1000, 800) << QSize(200, 150);
        QTest::newRow("wide: scaled to the width") << QSizeF(2000, 1000) << QSize(1000, 800) << QSize(1000, 500);
        QTest::newRow("tall: scaled to the height") << QSizeF(400, 3200) << QSize(1000, 800) << QSize(200, 800);
        QTest::newRow("small screen bounds the fallback") << QSizeF() << QSize(300, 200) << QSize(300, 200);
    }
    void fittedSize() {
        QFETCH(QSizeF, content);
        QFETCH(QSize, bounds);
        QFETCH(QSize, expected);
        QCOMPARE(QuickLookWindow::fittedSize(content, bounds), expected);
    }

    // The title keeps what fits, in this order: the name, its place, the application's name;
    // the name is elided in the middle only when even name and place do not fit.
    void titleFor_data() {
        QTest::addColumn<QString>("place");
        QTest::addColumn<int>("room");  // beyond the whole title's width (negative: short of it)
        QTest::addColumn<QString>("expected");  // "elided": the name is cut in the middle
        const QString name = QStringLiteral("texlive-pstricks-examples-figure-12.eps");
        QTest::newRow("all fits") << QStringLiteral("3 of 9") << 0
                                  << name + QStringLiteral(" — 3 of 9 — Vorrel Quick Look");
        QTest::newRow("alone, all fits") << QString() << 5 << name + QStringLiteral(" — Vorrel Quick Look");
        QTest::newRow("no room for the application") << QStringLiteral("3 of 9") << -1
                                                     << name + QStringLiteral(" — 3 of 9");
        QTest::newRow("no room for the name") << QStringLiteral("3 of 9") << -250 << QStringLiteral("elided");
    }
    void titleFor() {
        QFETCH(QString, place);
        QFETCH(int, room);
        QFETCH(QString, expected);
        const QString name = QStringLiteral("texlive-pstricks-examples-figure-12.eps");
        const QFontMetrics metrics(QGuiApplication::font());
        const int whole = metrics.horizontalAdvance(QuickLookWindow::titleFor(name, place, metrics, INT_MAX));
        const QString title = QuickLookWindow::titleFor(name, place, metrics, whole + room);
        QVERIFY(metrics.horizontalAdvance(title) <= whole + room);
        if (expected != QLatin1String("elided")) {
            QCOMPARE(title, expected);
            return;
        }
        QVERIFY2(title.contains(QChar(0x2026)), qPrintable(title));
        QVERIFY(title.startsWith(QStringLiteral("texlive")));
        QVERIFY(title.endsWith(QStringLiteral(".eps — 3 of 9")));  // the place and the suffix stay
    }

    // Where the window cannot place itself: similar sizes keep it (grown to cover the new one),
    // a quite different one is taken.
    void steadySize_data() {
        QTest::addColumn<QSize>("current");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("a little smaller: kept") << QSize(600, 400) << QSize(500, 380) << QSize(600, 400);
        QTest::newRow("a little larger: grown") << QSize(600, 400) << QSize(640, 420) << QSize(640, 420);
        QTest::newRow("wider, lower: grown in width only") << QSize(600, 400) << QSize(700, 300) << QSize(700, 400);
        QTest::newRow("much larger: taken") << QSize(400, 300) << QSize(900, 700) << QSize(900, 700);
        QTest::newRow("half the height: taken") << QSize(600, 600) << QSize(600, 300) << QSize(600, 300);
        QTest::newRow("not sized yet") << QSize() << QSize(300, 200) << QSize(300, 200);
    }
    void steadySize() {
        QFETCH(QSize, current);
        QFETCH(QSize, wanted);
        QFETCH(QSize, expected);
        QCOMPARE(QuickLookWindow::steadySize(current, wanted), expected);
    }

    void showsThePreviewTitledAndSized() {
        const fs::path file = home->write(
            "shown drawing.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 300\n" +
                                     test::eps::cornerSquares(0, 0, 300, 300) + "showpage\n");
        QuickLookWindow window(*registry, {file});
        QVERIFY(waitShown(window));
        QVERIFY(window.isVisible());
        // Its place among the files of its folder follows once they are listed.
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("shown drawing.eps")));
        QCOMPARE(window.session()->state(), quicklook::PreviewSession::State::Succeeded);
        QVERIFY(window.content() == window.session()->view());
        QVERIFY(window.content()->findChild<QPdfView*>());
        // A square page gives a window as high as the content wants, as wide too unless its
        // whole title needs more.
        const QSizeF wanted = window.session()->preferredContentSize();
        const QSize fitted = QuickLookWindow::fittedSize(wanted, window.screen()->availableGeometry().size() * 0.9);
        QCOMPARE(fitted.width(), fitted.height());
        QCOMPARE(window.height(), fitted.height());
        QCOMPARE(window.width(), std::max(fitted.width(), window.minimumWidth()));
        QVERIFY(window.windowTitle().endsWith(QStringLiteral(" — Vorrel Quick Look")));
    }

    // On a dark desktop the window is dark and the drawing on its white page: the empty
    // middle of a drawing with a transparent background shows white, not the window's colour.
    void drawingStaysOnItsWhitePageWhenDark() {
        setTransparent(true);
        auto pdf = qScopeGuard([this] { setTransparent(false); });
        const QPalette before = QApplication::palette();
        QApplication::setPalette(platform::darkPalette());
        auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        const fs::path file = home->write(
            "dark desk.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 300\n" +
                                 test::eps::cornerSquares(0, 0, 300, 300) + "showpage\n");
        QuickLookWindow window(*registry, {file});
        QVERIFY(waitShown(window));
        QCOMPARE(window.session()->previewFormatName(), QStringLiteral("PNG"));
        QVERIFY(platform::isDark(window.palette()));
        const QImage shot = window.grab().toImage();
        const QPoint middle = window.content()->mapTo(&window, window.content()->rect().center());
        QCOMPARE(shot.pixelColor(middle), QColor(Qt::white));
    }

    void failureShowsTheFallback() {
        const fs::path file = home->write("broken.eps", "%!PS-Adobe-3.0 EPSF-3.0\nnosuchoperator\n");
        QuickLookWindow window(*registry, {file});
        QVERIFY(waitShown(window));
        auto* fallback = qobject_cast<quicklook::FallbackView*>(window.content());
        QVERIFY(fallback);
        QCOMPARE(fallback->fileName(), QStringLiteral("broken.eps"));
        QCOMPARE(fallback->errorText(),
                 QStringLiteral("Ghostscript could not convert this file. It may be damaged, or not be PostScript."));
        QCOMPARE(window.size(), QuickLookWindow::kFallbackSize);
    }

    // The next file of another size keeps the window centred where it was, rather than
    // growing it from its top-left corner.
    void movingToAFileOfAnotherSizeKeepsTheCentre() {
        const fs::path drawing = home->write("drawing.eps", test::eps::lineArt());
        const fs::path broken = home->write("broken.eps", "%!PS-Adobe-3.0 EPSF-3.0\nnosuchoperator\n");
        QuickLookWindow window(*registry, {drawing, broken});
        QVERIFY(waitShown(window));
        window.move(window.screen()->availableGeometry().center() - window.rect().center());
        QTRY_VERIFY(window.geometry().center() != QPoint(window.width() / 2, window.height() / 2));
        const QRect before = window.geometry();
        QTest::keyClick(&window, Qt::Key_Right);
        QVERIFY(waitShown(window));
        QCOMPARE(window.size(), QuickLookWindow::kFallbackSize);
        QVERIFY(window.size() != before.size());
        QVERIFY2((window.geometry().center() - before.center()).manhattanLength() <= 1,
                 qPrintable(QStringLiteral("moved from %1,%2").arg(before.center().x()).arg(before.center().y())));
    }

    void busyIndicatorWhileConverting() {
        const fs::path file = home->write("slow.eps", kSlowEps);
        QuickLookWindow window(*registry, {file});
        QVERIFY(!window.isBusyIndicatorShown());
        QTRY_VERIFY_WITH_TIMEOUT(window.isBusyIndicatorShown(), 5000);
        QVERIFY(!window.content());
        QVERIFY(waitShown(window));
        QVERIFY(!window.isBusyIndicatorShown());
        QVERIFY(window.content());
    }

    void keysMoveBetweenFilesAndClose_data() {
        QTest::addColumn<int>("closeKey");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }
    void keysMoveBetweenFilesAndClose() {
        QFETCH(int, closeKey);
        const fs::path first = home->write("first.eps", test::eps::lineArt());
        const fs::path second = home->write("second.eps", test::eps::text());
        QuickLookWindow window(*registry, {first, second});
        QVERIFY(waitShown(window));
        QVERIFY(activate(window));

        QTest::keyClick(&window, Qt::Key_Right);
        QCOMPARE(window.currentIndex(), 1);
        QCOMPARE(window.windowTitle(), QStringLiteral("second.eps — 2 of 2 — Vorrel Quick Look"));
        QVERIFY(waitShown(window));
        QTest::keyClick(&window, Qt::Key_Right);  // already at the last file
        QCOMPARE(window.currentIndex(), 1);
        QTest::keyClick(&window, Qt::Key_Left);
        QCOMPARE(window.currentIndex(), 0);
        QVERIFY(waitShown(window));

        QTest::keyClick(&window, static_cast<Qt::Key>(closeKey));
        QVERIFY(!window.isVisible());
    }

    // A PostScript document shows one page at a time and says which; the window stays put.
    void pageKeysAndWheelMoveThroughADocument() {
        const fs::path file = home->write("three pages.ps.gz", test::ps::gzip(test::ps::threePages()));
        QuickLookWindow window(*registry, {file});
        QVERIFY(waitShown(window));
        QVERIFY(activate(window));
        auto* view = window.content()->findChild<QPdfView*>();
        auto* label = window.content()->findChild<QLabel*>("pageLabel");
        QVERIFY(view && label);
        const QRect place = window.geometry();
        QCOMPARE(label->text(), "Page 1 of 3");
        QVERIFY(label->isVisible());

        QTest::keyClick(&window, Qt::Key_PageDown);
        QTest::keyClick(&window, Qt::Key_PageDown);
        QCOMPARE(label->text(), "Page 3 of 3");
        QCOMPARE(view->pageNavigator()->currentPage(), 2);
        QTest::keyClick(&window, Qt::Key_PageDown);  // already at the last page
        QCOMPARE(label->text(), "Page 3 of 3");
        QTest::keyClick(&window, Qt::Key_Home);
        QCOMPARE(label->text(), "Page 1 of 3");
        QTest::keyClick(&window, Qt::Key_End);
        QCOMPARE(label->text(), "Page 3 of 3");
        QTest::keyClick(&window, Qt::Key_PageUp);
        QCOMPARE(label->text(), "Page 2 of 3");

        const QPointF middle = view->viewport()->rect().center();
        QWheelEvent down(middle, view->viewport()->mapToGlobal(middle), {}, {0, -120}, Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &down);
        QCOMPARE(label->text(), "Page 3 of 3");
        QCOMPARE(window.geometry(), place);
    }

    // A document's first page shows while the rest is converted; the PDF then takes its place
    // on the same page, in a window that neither moves nor changes its size.
    void firstPageShowsBeforeTheDocumentIsConverted() {
        // A short name alone in its folder: the window is as wide as the page, not as its title.
        const fs::path file = home->write("first page/s.ps", test::ps::firstPageThenWork());
        QuickLookWindow window(*registry, {file});
        QSignalSpy firstLook(&window, &QuickLookWindow::interimContentShown);
        QVERIFY(firstLook.wait(60000));
        QCOMPARE(window.session()->state(), quicklook::PreviewSession::State::Running);
        auto* label = window.content()->findChild<QLabel*>("pageLabel");
        QVERIFY(label && label->isVisible());
        QCOMPARE(label->text(), "Page 1");
        const auto middle = [&window] {
            const QImage shot = window.grab().toImage();
            return shot.pixelColor(shot.width() / 2, shot.height() / 2);
        };
        QCOMPARE(middle(), QColor(Qt::red));  // page 1 is red, 300 x 500 points
        const QRect place = window.geometry();
        // The width of red across the middle: the page as drawn.
        const auto pageWidth = [&window] {
            const QImage shot = window.grab().toImage();
            int red = 0;
            for (int x = 0; x < shot.width(); ++x)
                red += shot.pixelColor(x, shot.height() / 2) == QColor(Qt::red);
            return red;
        };
        const int fitted = pageWidth();
        QVERIFY(activate(window));
        QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
        const int zoomedOut = pageWidth();
        QVERIFY2(zoomedOut < fitted * 0.9, qPrintable(QString("%1 of %2").arg(zoomedOut).arg(fitted)));

        QVERIFY(waitShown(window));
        QCOMPARE(window.session()->state(), quicklook::PreviewSession::State::Succeeded);
        QCOMPARE(window.geometry(), place);
        // The PDF (drawn in the background) takes over the first page's zoom; Ctrl+0 fits it.
        QTRY_VERIFY2(qAbs(pageWidth() - zoomedOut) <= 2,
                     qPrintable(QString("%1, first page %2").arg(pageWidth()).arg(zoomedOut)));
        QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
        QTRY_VERIFY2(qAbs(pageWidth() - fitted) <= 2,
                     qPrintable(QString("%1, first page %2").arg(pageWidth()).arg(fitted)));
        // The first page had the window sized as the PDF's page wants it.
        const QSize bounds = window.screen()->availableGeometry().size() * 0.9;
        QCOMPARE(place.size(),
                 QuickLookWindow::fittedSize(window.session()->preferredContentSize(), bounds));
        label = window.content()->findChild<QLabel*>("pageLabel");
        QVERIFY(label);
        QCOMPARE(label->text(), "Page 1 of 3");
        QTest::keyClick(&window, Qt::Key_PageDown);
        QTest::keyClick(&window, Qt::Key_PageDown);
        QCOMPARE(label->text(), "Page 3 of 3");
        QCOMPARE(window.geometry(), place);
    }

    void zoomKeysAndWheelScaleThePdf() {
        const fs::path file = home->write("zoom.eps", test::eps::lineArt());
        QuickLookWindow window(*registry, {file});
        QVERIFY(waitShown(window));
        QVERIFY(activate(window));
        auto* view = window.content()->findChild<QPdfView*>();
        QVERIFY(view);
        const double fitted = quicklook::effectiveZoom(*view);
        QVERIFY(fitted > 0);

        QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::Custom);
        QVERIFY(qAbs(view->zoomFactor() - fitted * quicklook::kZoomStep) < 1e-6);
        QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(qAbs(view->zoomFactor() - fitted) < 1e-6);

        const QPointF centre = view->viewport()->rect().center();
        QWheelEvent up(centre, view->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                       Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &up);
        QVERIFY(qAbs(view->zoomFactor() - fitted * quicklook::kZoomStep) < 1e-6);
        // Without Ctrl the wheel scrolls and leaves the zoom alone.
        QWheelEvent plain(centre, view->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &plain);
        QVERIFY(qAbs(view->zoomFactor() - fitted * quicklook::kZoomStep) < 1e-6);
        // Ctrl+0: fitted again, without scroll bars.
        QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::FitInView);
        QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    // Zoomed out, each page of a document sits in the middle of the window, not at its top,
    // and the pages can still be gone through.
    void zoomedOutPagesAreCentred() {
        const fs::path file = home->write("centred.ps", test::ps::threePages());
        QuickLookWindow window(*registry, {file});
        QVERIFY(waitShown(window));
        QVERIFY(activate(window));
        auto* view = window.content()->findChild<QPdfView*>();
        auto* label = window.content()->findChild<QLabel*>("pageLabel");
        QVERIFY(view && label);
        QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
        for (int page = 1; page <= 3; ++page) {
            QCOMPARE(label->text(), QStringLiteral("Page %1 of 3").arg(page));
            const QRect drawn = drawnRect(*view);
            const int above = drawn.top(), below = view->viewport()->height() - 1 - drawn.bottom();
            QVERIFY2(above > 20 && std::abs(above - below) <= 2,
                     qPrintable(QStringLiteral("page %1: %2 above, %3 below")
                                    .arg(page).arg(above).arg(below)));
            QTest::keyClick(&window, Qt::Key_PageDown);
        }
    }

    // "Transparent Background" (PNG) zooms as the PDF does: 1:1 is the drawing's size in
    // points, each Ctrl+plus scales what is drawn by the same step, Ctrl+0 fits again.
    void zoomKeysAndWheelScaleThePng() {
        setTransparent(true);
        auto pdf = qScopeGuard([this] { setTransparent(false); });
        const fs::path file = home->write("zoom-png.eps", test::eps::lineArt());
        QuickLookWindow window(*registry, {file});
        QVERIFY(waitShown(window));
        QCOMPARE(window.session()->previewFormatName(), QStringLiteral("PNG"));
        QVERIFY(activate(window));
        auto* view = window.content()->findChild<QAbstractScrollArea*>();
        QVERIFY(view);
        auto drawn = [view] { return drawnRect(*view); };
        const QRect fitted = drawn();
        QVERIFY(!fitted.isEmpty());
        // Smaller by one step: all of it still in the window, its ink scaled by the step.
        QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
        const QRect smaller = drawn();
        QVERIFY2(qAbs(smaller.width() - fitted.width() / quicklook::kZoomStep) <= 2,
                 qPrintable(QStringLiteral("%1 -> %2").arg(fitted.width()).arg(smaller.width())));
        QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(drawn(), fitted);

        // Steps until the drawing (shown 1:1) is wider than the window, which may be wider
        // than the drawing for its title: the part beyond the window scrolls.
        const QSizeF points = window.session()->preferredContentSize();
        int steps = 0;
        while (points.width() * std::pow(quicklook::kZoomStep, steps) <= view->viewport()->width() + 1) {
            QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
            ++steps;
        }
        QVERIFY(steps >= 3);
        QCOMPARE(view->horizontalScrollBar()->maximum() + view->viewport()->width(),
                 qRound(points.width() * std::pow(quicklook::kZoomStep, steps)));
        QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }
};

QTEST_MAIN(QuickLookWindowTest)
#include "QuickLookWindow_qtest.moc"
