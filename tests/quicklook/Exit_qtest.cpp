// How the quick-look service ends with work in flight: signals and kills of the real program,
// closing its window mid-conversion, many runs in a row and at once, fresh homes. Converters
// are recognised by the test's own document path in their command line, never by name.
#include <QProcess>
#include <QTest>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Bundle.h"
#include "platform/Sandbox.h"
#include "quicklook/ExtensionRegistry.h"
#include "quicklook/QuickLookWindow.h"
#include "cache/StaleFiles.h"
#include "conversion/GhostScript.h"
#include "support/Eps.h"
#include "support/Processes.h"
#include "support/TempHome.h"

namespace fs = std::filesystem;
using namespace vorrel;
using namespace std::chrono_literals;
using test::entries;
using test::processesMentioning;

namespace {

const QString kProgram = QStringLiteral(VORREL_PREFIX_DIR "/bin/vorrel-quicklook");
const std::string kContainer = VORREL_TEAM_ID_PREFIX "group.com.quarnix.Vorrel";

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}


mode_t modeOf(const fs::path& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// A document nobody else converts: its content is unique to this test run.
std::string uniqueDrawing(const fs::path& home, int number) {
    return test::eps::lineArt() + "% " + home.string() + " " + std::to_string(number) + "\n";
}

}  // namespace

class ExitTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;

    // Where a program run with `base` as its XDG folders keeps things.
    static fs::path container(const fs::path& base) { return base / "cache" / kContainer; }
    fs::path container() const { return container(home->root()); }

    std::unique_ptr<QProcess> start(const QStringList& arguments, const fs::path& base,
                                    bool insideOuterSandbox = false) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString((base / "config").string()));
        environment.insert("XDG_CACHE_HOME", QString::fromStdString((base / "cache").string()));
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (insideOuterSandbox)
            process->start(QStringLiteral(VORREL_OUTER_SANDBOX),
                           QStringList{kProgram, "--headless"} + arguments);
        else
            process->start(kProgram, QStringList{"--headless"} + arguments);
        return process;
    }
    std::unique_ptr<QProcess> start(const fs::path& file) {
        return start({QString::fromStdString(file.string())}, home->root());
    }

    static void writeSettings(const fs::path& base, bool transparent, bool logToFile) {
        const fs::path suite = base / "config" / "vorrel" / (kContainer + ".json");
        fs::create_directories(suite.parent_path());
        std::ofstream(suite) << "{\"transparentBackground\": " << (transparent ? "true" : "false")
                             << ", \"logToFile\": " << (logToFile ? "true" : "false") << "}\n";
    }

    // What a converter of `document` has on its command line: not the document's path (it
    // reads a private copy in the scratch folder), so the scratch folder's.
    std::string converterInput(const fs::path&) const { return (container() / "scratch").string(); }

    // No converter of `document` runs, and (unless `leftovers`) nothing of a run is left.
    void expectNothingLeft(const fs::path& document, qint64 program = 0) {
        const auto noConverter = [&] {
            return processesMentioning(converterInput(document), program).empty();
        };
        QVERIFY2(waitFor(noConverter, 3s), "a converter of the document still runs");
        QVERIFY(waitFor([&] { return entries(container() / "scratch").empty(); }, 3s));
        // The partial result goes after the scratch folder, on the conversion's own thread.
        const auto noPartialResult = [&] {
            const auto names = entries(container() / "tmp");
            return std::none_of(names.begin(), names.end(), [](const std::string& name) {
                return name.rfind("inprogress-", 0) == 0;
            });
        };
        QVERIFY2(waitFor(noPartialResult, 3s), "a partial result was left in the cache");
    }

private slots:
    void init() {
        home.emplace();
        // Conversions of this process (the sweep below) use the program's container.
        platform::Dictionary info = test::testInfoDictionary();
        info["TeamIdentifierPrefix"] = platform::Value{VORREL_TEAM_ID_PREFIX};
        platform::Bundle::setMain(platform::Bundle(info, home->root() / "bundle"));
    }
    void cleanup() { home.reset(); }

    void signalsStopTheConverter_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGKILL") << SIGKILL;
    }
    void signalsStopTheConverter() {
        QFETCH(int, signal);
        const fs::path document = home->write("endless document.eps", test::eps::loopingForever());
        const auto program = start(document);
        QVERIFY(program->waitForStarted());
        const qint64 pid = program->processId();
        QVERIFY2(waitFor([&] { return !processesMentioning(converterInput(document), pid).empty(); }, 30s),
                 "no converter started");

        if (signal == SIGKILL) {
            // The program's converter head start, if that is what converts, removes its files
            // when the program is killed; killed with it, as when a session ends, it leaves them.
            for (const pid_t converter : processesMentioning(converterInput(document), pid))
                if (const pid_t parent = test::parentOf(converter); parent != pid) ::kill(parent, SIGKILL);
        }
        ::kill(static_cast<pid_t>(pid), signal);
        QVERIFY(program->waitForFinished(10000));
        if (signal == SIGKILL) {
            const auto noConverter = [&] {
                return processesMentioning(converterInput(document), pid).empty();
            };
            QVERIFY2(waitFor(noConverter, 3s), "the converter outlived its killed parent");
            // The kill left its in-progress file and temporary folder: the first conversion of
            // the next process sweeps them once they are older than twice its time limit.
            QCOMPARE(entries(container() / "tmp").size(), std::size_t{1});
            QCOMPARE(entries(container() / "scratch").size(), std::size_t{1});
            GhostScript::TestOverride shortLimit(
                fs::path(VORREL_TEST_SUPPORT_DIR) / "converters" / "launch-counter", 1000ms, 100ms);
            // Whatever is there now is the killed run's, from an hour ago.
            StaleAgeOverride aged([](const fs::path&) -> std::optional<platform::Date> {
                return std::chrono::system_clock::now() - std::chrono::hours(1);
            });
            const fs::path next = home->write("next.eps", uniqueDrawing(home->root(), 0));
            fs::path converted;
            try {
                converted = GhostScript(next, OutputFormat::PDF, 200).run();
            } catch (const std::exception& error) {
                QFAIL(error.what());
            }
            QCOMPARE(entries(container() / "tmp"),
                     std::vector<std::string>{converted.filename().string()});
            QCOMPARE(entries(container() / "scratch"), std::vector<std::string>{});
            return;
        }
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 128 + signal);
        expectNothingLeft(document, pid);
    }

    void closingTheWindowStopsTheConversion_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("closed") << false;
        QTest::newRow("Escape") << true;
    }
    void closingTheWindowStopsTheConversion() {
        QFETCH(bool, escape);
        const fs::path document = home->write("endless window.eps", test::eps::loopingForever());
        setenv("XDG_CACHE_HOME", (home->root() / "cache").c_str(), 1);
        quicklook::ExtensionRegistry registry(QStringLiteral(VORREL_PLUGIN_FOLDER));
        quicklook::QuickLookWindow window(registry, {document});
        QVERIFY2(waitFor([&] { return !processesMentioning(converterInput(document)).empty(); }, 30s),
                 "no converter started");
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 5000);  // the busy indicator
        if (escape) {
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, Qt::Key_Escape);
        } else {
            window.close();
        }
        QVERIFY(!window.isVisible());
        expectNothingLeft(document);
    }

    void manyPreviewsInARowAllExitCleanly() {
        // Each run ends while the purge it started may still be busy: the exit must wait for
        // it instead of tearing the plug-in down under it.
        writeSettings(home->root(), true, false);
        constexpr int kRuns = 300;
        int finished = 0;
        std::vector<std::unique_ptr<QProcess>> running;
        for (int i = 0; i < kRuns || !running.empty();) {
            while (i < kRuns && running.size() < 2) {
                const std::string drawing = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 8 8\n"
                                            "0 0 8 8 rectfill\n% " + std::to_string(i) + "\n";
                const fs::path file = home->write("new " + std::to_string(i) + ".eps", drawing);
                running.push_back(start(file));
                ++i;
            }
            QVERIFY(running.front()->waitForFinished(60000));
            const QString what = QStringLiteral("run %1").arg(finished);
            QVERIFY2(running.front()->exitStatus() == QProcess::NormalExit, qPrintable(what));
            QVERIFY2(running.front()->exitCode() == 0, qPrintable(what));
            running.erase(running.begin());
            ++finished;
        }
        QCOMPARE(finished, kRuns);
        QCOMPARE(entries(container() / "tmp").size(), std::size_t{kRuns});
        QCOMPARE(entries(container() / "scratch"), std::vector<std::string>{});
    }

    void freshHomesRecordThePurgeWhole() {
        for (int run = 0; run < 40; ++run) {
            const fs::path base = home->root() / ("home " + std::to_string(run));
            const fs::path file = home->write("fresh " + std::to_string(run) + ".eps",
                                              uniqueDrawing(home->root(), run));
            const auto program = start({QString::fromStdString(file.string())}, base);
            QVERIFY(program->waitForFinished(60000));
            QCOMPARE(program->exitCode(), 0);
            const fs::path settings = base / "config" / "vorrel";
            for (const auto& name : entries(settings))  // no half-written temporary file
                QVERIFY2(name.front() != '.', name.c_str());
            QVERIFY2(test::readFile(settings / "com.quarnix.Vorrel.Extension.json")
                             .find("CacheLastClearedDate") != std::string::npos,
                     qPrintable(QString::number(run)));
        }
    }

    void filesAreTheUsersAloneWhateverTheUmask() {
        writeSettings(home->root(), true, true);
        const fs::path file = home->write("private.eps", uniqueDrawing(home->root(), 1));
        const mode_t previous = umask(0);
        const auto program = start(file);
        const bool done = program->waitForFinished(60000);
        umask(previous);
        QVERIFY(done);
        QCOMPARE(program->exitCode(), 0);
        QCOMPARE(modeOf(container()), mode_t{0700});
        QCOMPARE(modeOf(container() / "tmp"), mode_t{0700});
        QCOMPARE(modeOf(container() / "scratch"), mode_t{0700});
        QCOMPARE(modeOf(container() / "Preview.log"), mode_t{0600});
        const auto converted = entries(container() / "tmp");
        QCOMPARE(converted.size(), std::size_t{1});
        QCOMPARE(modeOf(container() / "tmp" / converted.front()), mode_t{0600});
    }

    void previewsWorkWhereTheKernelLayersAreForbidden() {
        writeSettings(home->root(), false, true);
        const fs::path first = home->write("first.eps", uniqueDrawing(home->root(), 21));
        const fs::path second = home->write("second.eps", uniqueDrawing(home->root(), 22));
        const auto program = start({QString::fromStdString(first.string()),
                                    QString::fromStdString(second.string())},
                                   home->root(), true);
        QVERIFY(program->waitForFinished(60000));
        QCOMPARE(program->exitCode(), 0);
        QCOMPARE(entries(container() / "tmp").size(), std::size_t{2});
        // One line for each missing layer, however many conversions ran.
        const std::string log = test::readFile(container() / "Preview.log");
        const auto count = [&log](const std::string& text) {
            std::size_t found = 0;
            for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
                ++found;
            return found;
        };
        const std::string noLandlock =
            "Converter runs without file-system confinement: the kernel has no Landlock";
        QCOMPARE(count(noLandlock), std::size_t{1});
        QCOMPARE(count("Converter runs without system-call filter"), std::size_t{1});

        // --version says it in one plain line below its own; outside, it says what this kernel
        // lacks (nothing, where both layers are there).
        const auto versionLines = [](bool inside) {
            QProcess version;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("LANGUAGE", "en");
            version.setProcessEnvironment(environment);
            if (inside)
                version.start(QStringLiteral(VORREL_OUTER_SANDBOX), {kProgram, "--version"});
            else
                version.start(kProgram, {"--version"});
            version.waitForFinished(30000);
            return QString::fromUtf8(version.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        };
        const QStringList inside = versionLines(true);
        QCOMPARE(inside.size(), 2);
        QCOMPARE(inside.at(1),
                 "Landlock and the seccomp filter are missing on this system, so Ghostscript can "
                 "read and change your files and signal and slow down your other programs.");
        const auto& support = platform::Sandbox::support();
        QCOMPARE(versionLines(false).size(), support.landlockAbi > 0 && support.seccomp ? 1 : 2);
    }

    void eightPreviewsOfOneNewFileShareOneResult() {
        const fs::path file = home->write("shared.eps", uniqueDrawing(home->root(), 8));
        std::vector<std::unique_ptr<QProcess>> programs;
        for (int i = 0; i < 8; ++i) programs.push_back(start(file));
        for (auto& program : programs) {
            QVERIFY(program->waitForFinished(120000));
            QCOMPARE(program->exitCode(), 0);
        }
        const auto converted = entries(container() / "tmp");
        QCOMPARE(converted.size(), std::size_t{1});
        QVERIFY(converted.front().ends_with(".pdf"));
    }
};

QTEST_MAIN(ExitTest)
#include "Exit_qtest.moc"
