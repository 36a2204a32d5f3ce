// The real window on an X server (run under xvfb-run): a screenshot of the screen where the
// preview of the sample EPS is shown must show the drawing, not an empty window.
#include <QGuiApplication>
#include <QPdfPageRenderer>
#include <QPdfView>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <optional>

#include "quicklook/ExtensionRegistry.h"
#include "quicklook/QuickLookWindow.h"
#include "support/TempHome.h"

namespace fs = std::filesystem;
using namespace vorrel;

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void windowShowsTheSample() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        test::TempHome home;
        quicklook::ExtensionRegistry registry(QStringLiteral(VORREL_PLUGIN_FOLDER));
        const fs::path sample = fs::path(VORREL_SOURCE_DIR) / "resources/samples/vorrel-sample.eps";
        quicklook::QuickLookWindow window(registry, {sample});
        QSignalSpy shown(&window, &quicklook::QuickLookWindow::contentShown);
        QVERIFY(shown.wait(60000));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* view = window.content()->findChild<QPdfView*>();
        QVERIFY(view);
        // The page arrives from the view's renderer after the first paint.
        if (auto* renderer = view->findChild<QPdfPageRenderer*>()) {
            QSignalSpy rendered(renderer, &QPdfPageRenderer::pageRendered);
            rendered.wait(10000);
        }
        QTest::qWait(300);

        const QImage screen = window.screen()->grabWindow(0).toImage();
        const QImage shot = screen.copy(window.geometry());
        if (const char* keep = std::getenv("VORREL_SCREENSHOT_DIR")) {
            screen.save(QString("%1/xvfb-screen.png").arg(keep));
        }
        QVERIFY(!shot.isNull());
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size())));
        // The sample's sky is blue along the top, its hills green along the bottom.
        const QColor sky = shot.pixelColor(shot.width() / 2, shot.height() / 20);
        const QColor hill = shot.pixelColor(shot.width() / 2, shot.height() * 19 / 20);
        QVERIFY2(sky.blue() > sky.red() + 60, qPrintable(sky.name()));
        QVERIFY2(hill.green() > hill.red() + 40, qPrintable(hill.name()));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "Screenshot_xvfb.moc"
