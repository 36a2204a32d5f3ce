// The extension's log set-up through real previews: console only, or "Preview.log" in the
// group container when logToFile is on. The cases build on each other in this order, as
// the process-wide logger keeps what earlier set-ups added.
#include <QRegularExpression>
#include <QTest>
#include <QThreadPool>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "preview/Logging.h"
#include "preview/PreviewViewController.h"
#include "settings/Prefs.h"
#include "platform/AppGroup.h"
#include "conversion/GhostScript.h"
#include "settings/SharedSettings.h"
#include "support/Eps.h"
#include "support/TempHome.h"

using namespace vorrel;
namespace fs = std::filesystem;

namespace {

bool preview(const fs::path& file) {
    PreviewViewController controller;
    controller.view();
    int calls = 0;
    bool succeeded = false;
    controller.preparePreviewOfFile(file, [&](std::optional<quicklook::PreviewError> error) {
        ++calls;
        succeeded = !error;
    });
    const bool ended = QTest::qWaitFor([&] { return calls > 0; }, 30000);
    PreviewViewController::workers().waitForDone();
    Logbook::logQueue().drain();
    return ended && succeeded;
}

int fileDestinations() {
    int count = 0;
    for (const auto& destination : Logging::shared().logger.destinations())
        count += destination->identifier() == Logging::kFileDestinationIdentifier;
    return count;
}

fs::path logFile(const test::TempHome& home) {
    return home.cacheHome() / appGroupIdentifier() / "Preview.log";
}

QStringList lines(const fs::path& file) {
    return QString::fromStdString(test::readFile(file)).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

class LoggingTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;
    std::optional<GhostScript::TestOverride> ghostscript;

private slots:
    void initTestCase() {
        home.emplace();
        ghostscript.emplace(VORREL_GHOSTSCRIPT);
        QVERIFY(&Logging::shared().logger == &Logbook::defaultInstance());
    }
    void cleanupTestCase() {
        ghostscript.reset();
        home.reset();
    }

    void offWritesNoFile() {
        Prefs::set(logToFile(), false);
        QVERIFY(preview(home->write("off.eps", test::eps::lineArt())));
        QVERIFY(!fs::exists(logFile(*home)));
        QCOMPARE(fileDestinations(), 0);
    }

    void onWithoutGroupContainerKeepsTheConsoleOnly() {
        Prefs::set(logToFile(), true);
        // A cache folder under a regular file cannot be created.
        const fs::path blocker = home->write("blocker", "a file, not a folder");
        const std::string saved = std::getenv("XDG_CACHE_HOME");
        setenv("XDG_CACHE_HOME", (blocker / "cache").c_str(), 1);
        Logging::shared().configure();
        setenv("XDG_CACHE_HOME", saved.c_str(), 1);
        QCOMPARE(fileDestinations(), 0);
    }

    void onCreatesTheLogWithDateAndFunctionName() {
        Prefs::set(logToFile(), true);
        QVERIFY(preview(home->write("first.eps", test::eps::lineArt() + "%first\n")));
        QCOMPARE(fileDestinations(), 1);
        QVERIFY(fs::exists(logFile(*home)));

        const QStringList written = lines(logFile(*home));
        QVERIFY2(written.size() >= 5, qPrintable(written.join('\n')));
        const QString date = QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
        // The app details (from the test bundle: version 1.2, build 34), then the log-to line.
        QVERIFY(QRegularExpression("^" + date + R"( > \S+ Version: 1\.2 Build: 34 PID: \d+$)")
                    .match(written[0]).hasMatch());
        QVERIFY(QRegularExpression("^" + date + " > Logbook Version: 7\\.1\\.5 - Level: Debug$")
                    .match(written[1]).hasMatch());
        QVERIFY(written[2].contains(" > Logbook writing log to: file://"));
        // Then the preview's own lines: date and function name, no level, file, line or thread.
        const QRegularExpression converting(
            "^" + date + R"( preparePreviewOfFile\(at:\) > Converting EPS file first\.eps to PDF$)");
        const QRegularExpression shown(
            "^" + date + R"( preparePreviewOfFile\(at:\) > Preview file at [0-9a-f]{64}\.pdf$)");
        QVERIFY2(written.filter(converting).size() == 1, qPrintable(written.join('\n')));
        QVERIFY2(written.filter(shown).size() == 1, qPrintable(written.join('\n')));
    }

    void secondPreviewKeepsOneFileDestination() {
        QVERIFY(preview(home->write("second.eps", test::eps::lineArt() + "%second\n")));
        QCOMPARE(fileDestinations(), 1);
        const QStringList written = lines(logFile(*home));
        QCOMPARE(written.filter(" > Logbook Version: ").size(), 1);
        QCOMPARE(written.filter("Converting EPS file second.eps to PDF").size(), 1);
        QVERIFY(!written.join('\n').contains("Relauched"));
    }

    // The application (another process) flips the switch by rewriting the shared settings
    // file; a running preview follows without a new preview, both ways.
    void theSwitchReachesARunningPreviewBothWays() {
        const fs::path settings = logToFile().suite()->filePath();
        const auto flip = [&](bool on) {
            const fs::path next = settings.string() + ".next";
            std::ofstream(next) << "{\"logToFile\": " << (on ? "true" : "false") << "}";
            fs::rename(next, settings);
        };
        flip(false);
        QTRY_COMPARE_WITH_TIMEOUT(fileDestinations(), 0, 5000);
        flip(true);
        QTRY_COMPARE_WITH_TIMEOUT(fileDestinations(), 1, 5000);
    }
};

QTEST_MAIN(LoggingTest)
#include "Logging_qtest.moc"
