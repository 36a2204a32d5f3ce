// The real window on an X server (run under xvfb-run): a screenshot of the screen where the
// preview of the sample EPS is shown must show the drawing, not an empty window.
#include <QGuiApplication>
#include <QPdfPageRenderer>
#include <QPdfView>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <optional>

#include <QLabel>

#include "quicklook/ExtensionRegistry.h"
#include "quicklook/FallbackView.h"
#include "quicklook/QuickLookWindow.h"
#include "quicklook/Translations.h"
#include "support/TempHome.h"

namespace fs = std::filesystem;
using namespace vorrel;

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    // A session that asks every program for Wayland, where no compositor runs: the preview
    // comes up on the X server instead of aborting.
    void aWaylandRequestWithoutACompositorShowsTheWindowOnX() {
        test::TempHome home;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "wayland");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("XDG_CACHE_HOME", QString::fromStdString(home.cacheHome().string()));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home.configHome().string()));
        process.setProcessEnvironment(environment);
        const fs::path sample = fs::path(VORREL_SOURCE_DIR) / "resources/samples/vorrel-sample.eps";
        process.start(QStringLiteral(VORREL_PREFIX_DIR "/bin/vorrel-quicklook"),
                      {"--quit-after-paint", QString::fromStdString(sample.string())});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

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

    // Under German the error views speak German, and every line of the text is on screen:
    // inside its label, the label inside the window, and ink where the text is.
    void germanErrorViewsAreDrawnWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "leer.eps" << QByteArray() << "Die EPS-Datei ist leer.";
        QTest::newRow("PostScript error")
            << "kaputt.eps" << QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchoperator\n")
            << "Ghostscript konnte diese Datei nicht umwandeln. Sie ist vielleicht beschädigt oder kein PostScript.";
        QTest::newRow("not EPS") << "notizen.txt" << QByteArray("nur ein paar Worte\n")
                                 << "Keine Vorschau-Erweiterung ist für Dateien vom Typ text/plain zuständig.";
    }
    void germanErrorViewsAreDrawnWhole() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QVERIFY(quicklook::installTranslations(QLocale(QLocale::German, QLocale::Germany)));
        auto english = qScopeGuard([] { quicklook::installTranslations(QLocale(QLocale::English)); });
        test::TempHome home;
        const fs::path file = home.write(name.toStdString(), content.toStdString());
        quicklook::ExtensionRegistry registry(QStringLiteral(VORREL_PLUGIN_FOLDER));
        quicklook::QuickLookWindow window(registry, {file});
        QSignalSpy shown(&window, &quicklook::QuickLookWindow::contentShown);
        QVERIFY(shown.wait(60000));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* fallback = qobject_cast<quicklook::FallbackView*>(window.content());
        QVERIFY(fallback);
        QCOMPARE(fallback->errorText(), text);
        QTest::qWait(200);  // the window manager's first paint

        const QImage screen = window.screen()->grabWindow(0).toImage();
        if (const char* keep = std::getenv("VORREL_SCREENSHOT_DIR"))
            screen.copy(window.geometry()).save(QString("%1/fallback-de-%2.png").arg(keep, QTest::currentDataTag()));
        for (QLabel* label : fallback->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;  // the icon
            const QRect needed = label->fontMetrics().boundingRect(label->contentsRect(),
                                                                   Qt::TextWordWrap | int(label->alignment()),
                                                                   label->text());
            QVERIFY2(label->contentsRect().contains(needed), qPrintable(label->text()));
            const QRect onWindow(label->mapTo(&window, QPoint()), label->size());
            QVERIFY2(window.rect().contains(onWindow), qPrintable(label->text()));
            // Ink on the first and the last line of the text.
            const QRect drawn = needed.translated(label->mapToGlobal(QPoint()) - window.screen()->geometry().topLeft());
            const int lineHeight = label->fontMetrics().height();
            for (const int y : {drawn.top() + lineHeight / 2, drawn.bottom() - lineHeight / 2}) {
                QSet<QRgb> colours;
                for (int x = drawn.left(); x <= drawn.right(); ++x) colours.insert(screen.pixel(x, y));
                QVERIFY2(colours.size() > 2, qPrintable(label->text()));
            }
        }
    }
};

QTEST_MAIN(ScreenshotTest)
#include "Screenshot_xvfb.moc"
