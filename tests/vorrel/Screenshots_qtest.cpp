// Pictures of the window's three tabs and of the Help menu, taken on a real X display
// (run under xvfb-run). Each picture must show something (more than a handful of
// colours); they are written to $VORREL_SCREENSHOT_DIR when set, for people to look at.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QSet>
#include <QTest>

#include "shared/SharedSettings.h"
#include "support/TempHome.h"
#include "vorrel/ContentView.h"
#include "vorrel/MainWindow.h"
#include "vorrel/VorrelApp.h"

using namespace vorrel;

namespace {

int colourCount(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    return int(colours.size());
}

void keep(const QImage& image, const QString& name) {
    const QString folder = qEnvironmentVariable("VORREL_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    QVERIFY(image.save(QDir(folder).filePath(name)));
}

}  // namespace

class ScreenshotsTest : public QObject {
    Q_OBJECT
private slots:
    void tabsAndHelpMenu() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under xvfb-run");
        test::TempHome home;
        VorrelApp app;
        MainWindow* window = app.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const char* names[] = {"vorrel-home.png", "vorrel-settings.png", "vorrel-about.png"};
        for (const SidebarPane pane : allSidebarPanes) {
            app.selectedPane().setPane(pane);
            QTest::qWait(50);  // let the tab repaint before it is grabbed
            const QImage image = window->grab().toImage();
            QCOMPARE(image.size(), window->size() * window->devicePixelRatio());
            QVERIFY2(colourCount(image) > 16, names[vorrel::indexOf(pane)]);
            keep(image, names[vorrel::indexOf(pane)]);
        }

        Prefs::set(logToFile(), true);
        QMenu* help = window->helpMenu();
        help->popup(window->mapToGlobal(QPoint(20, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(help));
        const QImage menu = help->grab().toImage();
        QVERIFY(colourCount(menu) > 8);
        keep(menu, "vorrel-help-menu.png");
        help->hide();
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "Screenshots_qtest.moc"
