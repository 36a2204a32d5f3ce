// File destination runs on real files in a temporary folder: first run, appending runs,
// truncation, refusal, unwritable places, write failures, ordering on the shared queue,
// and lines queued at process exit.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "logbook/FileDestination.h"
#include "logbook/FileUrl.h"
#include "logbook/Logbook.h"
#include "support/CapturingDestination.h"
#include "support/TempHome.h"

extern char** environ;

namespace vorrel {
namespace {

using test::CapturingDestination;
using Level = Logbook::Level;

std::vector<std::string> fileLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::istringstream stream(test::readFile(path));
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The extension's file settings: date off here so lines compare exactly; function name on.
std::shared_ptr<FileDestination> previewLog(const std::filesystem::path& path,
                                            std::optional<std::string> marker = "\n-- Relauched App --\n",
                                            bool append = true) {
    auto destination = std::make_shared<FileDestination>(nullptr, path.string(), "advancedLogger.fileDestination",
                                                         append, std::move(marker));
    destination->showDate = false;
    destination->showLevel = false;
    destination->showFileName = false;
    destination->showLineNumber = false;
    destination->setLogQueue(&Logbook::logQueue());
    return destination;
}

// One run of the extension: a logger with a capturing "console", the file destination, a line.
void run(const std::filesystem::path& path, const std::string& message,
         std::optional<std::string> marker = "\n-- Relauched App --\n", bool append = true) {
    Logbook logbook("run", false);
    logbook.add(CapturingDestination::bare("console"));
    logbook.add(previewLog(path, std::move(marker), append));
    logbook.debug(message, "run()");
}  // the logger releases the destination: queued lines are written, the file closed

class FileDestinationTest : public testing::Test {
protected:
    void SetUp() override {
        Logbook::setInfoDictionaryLookup([](std::string_view key) -> std::optional<std::string> {
            if (key == "CFBundleShortVersionString") return "1.0";
            return std::nullopt;
        });
    }
    void TearDown() override { Logbook::setInfoDictionaryLookup({}); }

    test::TempHome home;
    std::filesystem::path log = home.root() / "Group Container é" / "Preview.log";
    std::string processLine = "> " + std::string(program_invocation_short_name) +
                              " Version: 1.0 PID: " + std::to_string(getpid());
};

TEST_F(FileDestinationTest, RunsWriteThenAppendWithOneMarkerEach) {
    std::filesystem::create_directories(log.parent_path());
    const std::string url = fileUrlString(log);
    EXPECT_NE(url.find("Group%20Container%20%C3%A9/Preview.log"), std::string::npos) << url;

    run(log, "first");
    const std::vector<std::string> firstRun{processLine, "> Logbook Version: 7.1.5 - Level: Debug",
                                            "> Logbook writing log to: " + url, "run() > first"};
    EXPECT_EQ(fileLines(log), firstRun);

    run(log, "second");
    std::vector<std::string> twoRuns = firstRun;
    for (const std::string& line :
         {std::string(), std::string("-- Relauched App --"), std::string(), processLine,
          std::string("> Logbook Version: 7.1.5 - Level: Debug"), "> Logbook appending log to: " + url,
          std::string("run() > second")}) {
        twoRuns.push_back(line);
    }
    EXPECT_EQ(fileLines(log), twoRuns);

    // No marker: the next run simply continues at the end.
    run(log, "third", std::nullopt);
    const auto lines = fileLines(log);
    ASSERT_EQ(lines.size(), twoRuns.size() + 4);
    EXPECT_EQ(lines[twoRuns.size()], processLine);
    EXPECT_EQ(lines.back(), "run() > third");

    // Without append the old runs go and no marker is written.
    run(log, "fresh", "\n-- Relauched App --\n", false);
    EXPECT_EQ(fileLines(log).size(), 4u);
    EXPECT_EQ(fileLines(log).front(), processLine);
    EXPECT_EQ(fileLines(log).back(), "run() > fresh");
}

TEST_F(FileDestinationTest, ReattachingStartsANewRunButAppDetailsComeOnce) {
    std::filesystem::create_directories(log.parent_path());
    Logbook logbook("l", false);
    auto file = previewLog(log);
    logbook.add(file);
    logbook.debug("one", "f");
    EXPECT_TRUE(logbook.remove(file));
    EXPECT_FALSE(file->isOpen());
    logbook.debug("while detached", "f");
    logbook.add(file);
    logbook.debug("two", "f");
    Logbook::logQueue().drain();

    const auto lines = fileLines(log);
    const std::vector<std::string> expected{
        processLine, "> Logbook Version: 7.1.5 - Level: Debug", "> Logbook writing log to: " + fileUrlString(log),
        "f > one", "", "-- Relauched App --", "", "> Logbook appending log to: " + fileUrlString(log), "f > two"};
    EXPECT_EQ(lines, expected);
}

TEST_F(FileDestinationTest, SetupWithAFileAddsItWithTheSameSwitchesAndItsOwnLevel) {
    const auto existing = home.write("setup.log", "previous run\n");
    Logbook logbook("l", true);
    testing::internal::CaptureStdout();
    logbook.setup(Level::debug, false, true, false, false, false, false, false, existing, Level::info);
    logbook.debug("console only", "f");
    logbook.info("both", "f");
    testing::internal::GetCapturedStdout();

    auto file = std::dynamic_pointer_cast<FileDestination>(
        logbook.destination(Logbook::Constants::fileDestinationIdentifier));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->outputLevel(), Level::info);
    EXPECT_FALSE(file->shouldAppend());
    const std::vector<std::string> expected{processLine, "> Logbook Version: 7.1.5 - Level: Debug",
                                            "> Logbook writing log to: " + fileUrlString(existing), "f > both"};
    EXPECT_EQ(fileLines(existing), expected);
}

TEST_F(FileDestinationTest, RefusedDuplicateNeitherOpensNorTruncates) {
    const auto existing = home.write("logs/Preview.log", "old contents\n");
    Logbook logbook("l", false);
    logbook.add(CapturingDestination::bare("advancedLogger.fileDestination"));
    auto file = previewLog(existing, std::nullopt, false);
    EXPECT_FALSE(logbook.add(file));
    EXPECT_FALSE(file->isOpen());
    logbook.debug("not for the file");
    Logbook::logQueue().drain();
    EXPECT_EQ(test::readFile(existing), "old contents\n");
}

TEST_F(FileDestinationTest, UnwritableLocationIsReportedToTheOtherDestinationsOnly) {
    const auto blocker = home.write("not-a-folder", "x");
    // Not regular files: refused at once, never waited for (a FIFO without a reader) nor
    // written through (a link to a device).
    const auto fifo = home.root() / "fifo.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto zero = home.root() / "zero.log";
    std::filesystem::create_symlink("/dev/zero", zero);
    const auto quoted = [](const std::filesystem::path& path) { return "\"" + path.string() + "\""; };
    struct Case {
        std::filesystem::path path;
        bool append;
        std::string expected;
    };
    const Case cases[] = {
        {blocker / "Preview.log", true, "> Attempt to open log file for writing failed: Not a directory"},
        {home.root(), true, "> Attempt to open log file for appending failed: Is a directory"},
        {home.root(), false, "> Attempt to open log file for writing failed: Is a directory"},
        {fifo, true, "> Attempt to open log file for appending failed: " + quoted(fifo) + " is not a regular file"},
        {zero, true, "> Attempt to open log file for appending failed: " + quoted(zero) + " is not a regular file"},
        {zero, false, "> Attempt to open log file for writing failed: " + quoted(zero) + " is not a regular file"},
        {"/dev/full", true, "> Attempt to open log file for appending failed: \"/dev/full\" is not a regular file"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.path.string());
        Logbook logbook("l", false);
        auto console = CapturingDestination::bare("console");
        logbook.add(console);
        auto file = previewLog(testCase.path, "marker", testCase.append);
        ASSERT_TRUE(logbook.add(file));
        logbook.debug("dropped", "f");
        Logbook::logQueue().drain();

        EXPECT_FALSE(file->isOpen());
        const auto lines = console->lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), testCase.expected);
        EXPECT_EQ(console->records().front().level, Level::error);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), testCase.expected), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(blocker / "Preview.log"));
    EXPECT_EQ(test::readFile(blocker), "x");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(zero));
}

TEST_F(FileDestinationTest, LocationsThatNameNoFileNeverOpen) {
    Logbook logbook("l", false);
    auto fromUrl = std::make_shared<FileDestination>(nullptr, LogFileLocation::fromUrl("https://example.com/a.log"), "u");
    auto empty = std::make_shared<FileDestination>(nullptr, std::string(), "e");
    auto console = CapturingDestination::bare("console");
    logbook.add(console);
    logbook.add(fromUrl);
    logbook.add(empty);
    EXPECT_FALSE(fromUrl->isOpen() || empty->isOpen());
    EXPECT_TRUE(console->lines().empty());

    const auto decoded = LogFileLocation::fromUrl("file:///tmp/a%20b%0Ac.log").resolved();
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, std::filesystem::path("/tmp/a b\nc.log"));
    EXPECT_EQ(fileUrlString("/tmp/a b\nc#?%.log"), "file:///tmp/a%20b%0Ac%23%3F%25.log");
}

TEST_F(FileDestinationTest, InvalidUtf8LinesAreSkippedOthersKept) {
    std::filesystem::create_directories(log.parent_path());
    Logbook logbook("l", false);
    logbook.add(previewLog(log));
    logbook.debug("bad \xC3\x28 bytes", "f");
    logbook.debug("naïve ✓", "f");
    Logbook::logQueue().drain();
    EXPECT_EQ(fileLines(log).back(), "f > naïve ✓");
    EXPECT_EQ(test::readFile(log).find("bad"), std::string::npos);
}

TEST_F(FileDestinationTest, LinesFromManyThreadsArriveWholeAndInOrderPerThread) {
    std::filesystem::create_directories(log.parent_path());
    Logbook logbook("l", false);
    auto file = previewLog(log);
    file->showFunctionName = false;
    logbook.add(file);
    constexpr int threads = 8;
    constexpr int perThread = 500;
    // The threads' lines start with "/": the app-details line starts with the program's
    // name, which never holds a "/", so no other line can pass for a thread's.
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([&logbook, t] {
                const std::string padding(64 + t * 16, static_cast<char>('a' + t));
                for (int i = 0; i < perThread; ++i) {
                    logbook.debug("/t" + std::to_string(t) + " " + std::to_string(i) + " " + padding);
                }
            });
        }
    }
    Logbook::logQueue().drain();

    std::vector<int> next(threads, 0);
    int count = 0;
    const auto lines = fileLines(log);
    for (const auto& line : lines) {
        if (!line.starts_with("> /t")) {
            continue;
        }
        int t = -1;
        int i = -1;
        char rest[8] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "> /t%d %d %7s", &t, &i, rest), 3) << line;
        ASSERT_TRUE(t >= 0 && t < threads) << line;
        EXPECT_EQ(i, next[t]) << line;
        next[t] = i + 1;
        EXPECT_EQ(line, "> /t" + std::to_string(t) + " " + std::to_string(i) + " " +
                            std::string(64 + t * 16, static_cast<char>('a' + t)));
        ++count;
    }
    EXPECT_EQ(count, threads * perThread);
    EXPECT_EQ(lines.size(), 3u + threads * perThread);  // only the run's three opening lines besides
}

TEST_F(FileDestinationTest, FlushRunsItsClosureAfterEarlierLines) {
    std::filesystem::create_directories(log.parent_path());
    Logbook logbook("l", false);
    auto file = previewLog(log);
    logbook.add(file);
    logbook.debug("before flush", "f");
    std::string seen;
    file->flush([&] { seen = test::readFile(log); });
    Logbook::logQueue().drain();
    EXPECT_NE(seen.find("f > before flush\n"), std::string::npos) << seen;
}

// A separate process logs through the shared queue while the queue is held up, then ends
// normally (or by quick_exit, as a headless preview does): every queued line must still reach
// the file.
TEST_F(FileDestinationTest, QueuedLinesReachTheFileAtNormalExit) {
    std::filesystem::create_directories(log.parent_path());
    for (const char* ending : {"exit", "return", "quick_exit"}) {
        SCOPED_TRACE(ending);
        std::filesystem::remove(log);
        const std::string path = log.string();
        const char* argv[] = {LOGBOOK_EXIT_HELPER, path.c_str(), "300", ending, nullptr};
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, LOGBOOK_EXIT_HELPER, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);

        const auto lines = fileLines(log);
        ASSERT_EQ(lines.size(), 3u + 300u);
        EXPECT_EQ(lines[3], "> line 0");
        EXPECT_EQ(lines.back(), "> line 299");
    }
}

// A log_writer process with the given arguments, its standard input and output on pipes.
// In append mode it answers "ok" to each command line. Closing its input ends it; it is
// always waited for.
class Writer {
public:
    explicit Writer(std::vector<std::string> arguments) {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        arguments.insert(arguments.begin(), LOG_WRITER);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        to_ = fdopen(in[1], "w");
        from_ = fdopen(out[0], "r");
    }
    ~Writer() { finish(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    pid_t pid() const { return pid_; }
    void send(const std::string& command) {
        std::fputs((command + "\n").c_str(), to_);
        std::fflush(to_);
    }
    bool answered() {
        char reply[8] = {};
        return std::fgets(reply, sizeof reply, from_) != nullptr && std::string(reply) == "ok\n";
    }
    void command(const std::string& text) {
        send(text);
        EXPECT_TRUE(answered()) << text;
    }
    // Ends the process: its exit status (-1 when it did not exit normally); what it still
    // printed goes to `printed`.
    int finish(std::string* printed = nullptr) {
        if (to_ == nullptr) return status_;
        std::fclose(to_);  // end of input: the writer quits
        to_ = nullptr;
        std::string rest;
        for (int c; (c = std::fgetc(from_)) != EOF;) rest += static_cast<char>(c);
        std::fclose(from_);
        if (printed) *printed = rest;
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) status_ = WEXITSTATUS(status);
        return status_;
    }

private:
    pid_t pid_ = -1;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
    int status_ = -1;
};

// Two processes log to one file while a third truncates it. Every line that is in the
// file must be whole, nothing may be overwritten, and after the truncation nothing may
// be lost: each writer's lines form one unbroken run up to its last line.
TEST_F(FileDestinationTest, TwoProcessesAppendToOneFileAndSurviveATruncation) {
    std::filesystem::create_directories(log.parent_path());
    Writer a({"append", log.string(), "A"});
    Writer b({"append", log.string(), "B"});
    a.command("attach");
    b.command("attach");
    a.command("log 1");
    b.command("log 1");
    // A's line came after B had opened the file: it must not have overwritten B's run.
    const std::string url = fileUrlString(log);
    const auto processLine = [](const Writer& writer) { return "> log_writer PID: " + std::to_string(writer.pid()); };
    EXPECT_EQ(fileLines(log), (std::vector<std::string>{
                                  processLine(a), "> Logbook Version: 7.1.5 - Level: Debug",
                                  "> Logbook writing log to: " + url, "", "-- Relauched App --", "",
                                  processLine(b), "> Logbook Version: 7.1.5 - Level: Debug",
                                  "> Logbook appending log to: " + url, "> A 0", "> B 0"}));

    a.send("log 3000");
    b.send("log 3000");
    EXPECT_EQ(Writer({"truncate", log.string()}).finish(), 0);
    EXPECT_TRUE(a.answered());
    EXPECT_TRUE(b.answered());
    a.command("log 100");  // surely after the truncation
    b.command("log 100");
    EXPECT_EQ(a.finish(), 0);
    EXPECT_EQ(b.finish(), 0);

    const std::string contents = test::readFile(log);
    EXPECT_EQ(contents.find('\0'), std::string::npos) << "a run of NUL bytes";
    ASSERT_TRUE(contents.empty() || contents.back() == '\n');
    std::map<char, std::vector<int>> seen;
    for (const auto& line : fileLines(log)) {
        char writer = 0;
        int index = -1;
        char rest = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "> %c %d%c", &writer, &index, &rest), 2) << "not a whole line: " << line;
        ASSERT_TRUE(writer == 'A' || writer == 'B') << line;
        ASSERT_EQ(line, "> " + std::string(1, writer) + " " + std::to_string(index));
        seen[writer].push_back(index);
    }
    for (const char writer : {'A', 'B'}) {
        SCOPED_TRACE(writer);
        const auto& indexes = seen[writer];
        ASSERT_GE(indexes.size(), 100u);
        for (std::size_t i = 1; i < indexes.size(); ++i) ASSERT_EQ(indexes[i], indexes[i - 1] + 1);
        EXPECT_EQ(indexes.back(), 3100);
    }
}

// A write the file takes only in part (the size cap stands in for a full disk) leaves a
// fragment; the next line still starts on a line of its own.
TEST_F(FileDestinationTest, ALineCutShortByAFullDiskDoesNotSwallowTheNext) {
    std::filesystem::create_directories(log.parent_path());
    std::string printed;
    ASSERT_EQ(Writer({"capped", log.string()}).finish(&printed), 0);
    EXPECT_EQ(printed, "Objective-C Exception occurred: File too large\n");
    const auto lines = fileLines(log);
    ASSERT_EQ(lines.size(), 5u) << test::readFile(log);
    EXPECT_EQ(lines[2], "> Logbook writing log to: " + fileUrlString(log));
    EXPECT_EQ(lines[3], "> " + std::string(48, 'x'));  // the fragment, ended
    EXPECT_EQ(lines[4], "> after");
}

// Lines logged from a static destructor and from a thread still running at exit are
// rendered with the default date formatter: it must still exist then.
TEST_F(FileDestinationTest, LoggingGoesOnWhileTheProcessEnds) {
    std::filesystem::create_directories(log.parent_path());
    ASSERT_EQ(Writer({"late", log.string()}).finish(), 0);
    const auto lines = fileLines(log);
    const auto last = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.ends_with(" > logged from a static destructor");
    });
    ASSERT_NE(last, lines.end());
    EXPECT_EQ(last->size(), std::string("2026-01-31 14:05:09.042 > logged from a static destructor").size()) << *last;
}

// A destination that finds no file lets another process's destination create it and log
// before it creates the file itself: the other's lines stay, and this one appends.
class LateCreator : public FileDestination {
public:
    using FileDestination::FileDestination;
    std::function<void()> onCreate;

protected:
    void beforeCreatingFile() override {
        if (onCreate) std::exchange(onCreate, nullptr)();
    }
};

TEST_F(FileDestinationTest, TwoWritersCreatingTheLogAtOnceLoseNoLine) {
    std::filesystem::create_directories(log.parent_path());
    Logbook late("late", false);
    auto destination = std::make_shared<LateCreator>(nullptr, log.string(), "late", true, std::string("marker"));
    destination->showDate = false;
    destination->showLevel = false;
    destination->showFileName = false;
    destination->showLineNumber = false;
    destination->showFunctionName = false;
    destination->onCreate = [&] { run(log, "first process"); };
    late.add(destination);
    late.debug("second process");
    const auto lines = fileLines(log);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "run() > first process"), lines.end()) << test::readFile(log);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "marker"), lines.end());
    EXPECT_EQ(lines.back(), "> second process");
}

// A capped log rotates once to "<name>.1", also with two writers on it: every line whole,
// neither file far beyond the cap, the newest lines in the current file.
TEST_F(FileDestinationTest, ACappedLogRotatesOnceWithSeveralWriters) {
    std::filesystem::create_directories(log.parent_path());
    constexpr std::uintmax_t kCap = 2000;
    Logbook a("a", false), b("b", false);
    for (auto* logbook : {&a, &b}) {
        auto destination = previewLog(log, std::nullopt);
        destination->showFunctionName = false;
        destination->setMaximumFileSize(kCap);
        logbook->add(destination);
    }
    for (int i = 0; i < 300; ++i) {
        a.debug("A " + std::to_string(i));
        b.debug("B " + std::to_string(i));
    }
    Logbook::logQueue().drain();
    const std::filesystem::path older = log.string() + ".1";
    for (const auto& file : {log, older}) {
        EXPECT_LT(std::filesystem::file_size(file), kCap + 100) << file;
        for (const auto& line : fileLines(file))
            EXPECT_TRUE(line.starts_with("> ") || line.empty()) << file << ": " << line;
    }
    const auto lines = fileLines(log);
    EXPECT_EQ(lines[lines.size() - 2], "> A 299");
    EXPECT_EQ(lines.back(), "> B 299");
}

// A thread that never stops logging does not hold the process at exit.
TEST_F(FileDestinationTest, ExitEndsWhileAThreadKeepsLogging) {
    std::filesystem::create_directories(log.parent_path());
    ASSERT_EQ(Writer({"endless", log.string()}).finish(), 0);
    const auto lines = fileLines(log);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "> main returns"), lines.end());
}

}  // namespace
}  // namespace vorrel
