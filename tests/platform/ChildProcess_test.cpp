#include "platform/ChildProcess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <sstream>
#include <thread>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kShell = "/bin/sh";
const fs::path kConverters = fs::path(VORREL_TEST_SUPPORT_DIR) / "converters";

// True when this process has no child left, reaped or not.
bool noChildrenLeft() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// True while a process of group `group` runs (zombies not counted: an orphaned grandchild is
// reaped by init at its own pace). Gives a dying group a bounded time to go.
bool groupRuns(pid_t group) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        bool running = false;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string stat = test::readFile(entry.path() / "stat");
            const auto close = stat.rfind(')');
            if (close == std::string::npos) continue;
            std::istringstream fields(stat.substr(close + 2));
            char state = 0;
            long parent = 0, processGroup = 0;
            fields >> state >> parent >> processGroup;
            if (processGroup == group && state != 'Z' && state != 'X') running = true;
        }
        if (!running) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Waits (bounded) until `path` has content: the child reached the point where it writes it.
std::string awaitRecord(const fs::path& path) {
    for (int i = 0; i < 500; ++i) {
        if (auto text = test::readFile(path); !text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(10ms);
    }
    return {};
}

TEST(ChildProcess, ReportsExitStatusAndSignals) {
    struct Case {
        const char* script;
        int status;
    } cases[] = {
        {"exit 0", 0},
        {"exit 3", 3},
        {"exit 255", 255},
        {"kill -TERM $$", 128 + SIGTERM},
        {"kill -KILL $$", 128 + SIGKILL},
    };
    for (const auto& c : cases) {
        ChildProcess child(kShell, {"-c", c.script});
        child.launch();
        child.wait();
        EXPECT_TRUE(child.hasExited()) << c.script;
        EXPECT_EQ(child.terminationStatus(), c.status) << c.script;
    }
    EXPECT_TRUE(noChildrenLeft());
}

TEST(ChildProcess, PassesEveryArgumentUnchangedAsOneItem) {
    test::TempHome home;
    const fs::path record = home.root() / "arguments";
    const std::vector<std::string> awkward = {
        "with space", "new\nline",          "Größe – ü.eps",  "",     "$HOME",
        "*",          "'quoted' \"twice\"", "-sOutputFile=x", "@args"};
    std::vector<std::string> arguments = {"-c", "printf '%s\\0' \"$@\" > \"$0\"", record.string()};
    arguments.insert(arguments.end(), awkward.begin(), awkward.end());

    ChildProcess child(kShell, arguments);
    child.launch();
    child.wait();
    ASSERT_EQ(child.terminationStatus(), 0);

    std::vector<std::string> received;
    const std::string text = test::readFile(record);
    for (std::size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos;
         start = end + 1)
        received.push_back(text.substr(start, end - start));
    EXPECT_EQ(received, awkward);
}

TEST(ChildProcess, LaunchFailuresCarryErrnoAndPath) {
    test::TempHome home;
    const fs::path notExecutable = home.write("plain.txt", "#!/bin/sh\nexit 0\n");
    const struct Case {
        fs::path executable;
        int error;
    } cases[] = {
        {home.root() / "missing", ENOENT},
        {notExecutable, EACCES},
        {home.root(), EACCES},
    };
    for (const auto& c : cases) {
        ChildProcess child(c.executable, {});
        try {
            child.launch();
            ADD_FAILURE() << c.executable << " launched";
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code().value(), c.error) << c.executable;
            EXPECT_NE(std::string(error.what()).find(c.executable.string()), std::string::npos);
        }
        EXPECT_FALSE(child.hasExited());
    }
    EXPECT_TRUE(noChildrenLeft());
}

TEST(ChildProcess, TerminateEndsTheWholeGroupAndReaps) {
    test::TempHome home;
    const struct Case {
        const char* converter;
        int status;  // SIGTERM suffices, or SIGKILL after the grace period
    } cases[] = {{"hang", 128 + SIGTERM}, {"ignore-sigterm", 128 + SIGKILL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.converter);
        const fs::path record = home.root() / c.converter;
        ChildProcess child(kConverters / c.converter, {});
        child.setEnvironment("VORREL_FAKE_RECORD", record.string());
        child.launch();
        ASSERT_FALSE(awaitRecord(record).empty());

        EXPECT_FALSE(child.waitUntil(ChildProcess::Clock::now() + 100ms));
        EXPECT_FALSE(child.hasExited());
        child.terminate(300ms);
        EXPECT_TRUE(child.hasExited());
        EXPECT_EQ(child.terminationStatus(), c.status);
        // The script's own child (sleep) went with it, and nothing is left to reap.
        EXPECT_FALSE(groupRuns(child.processIdentifier()));
        EXPECT_TRUE(noChildrenLeft());
    }
}

TEST(ChildProcess, DestructorKillsAndReapsARunningChild) {
    pid_t pid = 0;
    {
        ChildProcess child(kShell, {"-c", "sleep 1000"});
        child.launch();
        pid = child.processIdentifier();
    }
    EXPECT_NE(pid, 0);
    EXPECT_FALSE(groupRuns(pid));
    EXPECT_TRUE(noChildrenLeft());
}

}  // namespace
}  // namespace vorrel::platform
