// Two processes on the shared suite: this test process and prefs_peer, both running for
// the whole test, see each other's writes at their next read.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "settings/Prefs.h"
#include "settings/SharedSettings.h"
#include "support/TempHome.h"

extern char** environ;

namespace vorrel {
namespace {

// prefs_peer with its stdin and stdout on pipes.
class Peer {
public:
    Peer() {
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        char program[] = PREFS_PEER_PROGRAM;
        char* argv[] = {program, nullptr};
        if (posix_spawn(&pid_, program, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        in_ = ::fdopen(toChild[1], "w");
        out_ = ::fdopen(fromChild[0], "r");
    }
    ~Peer() {
        if (in_) std::fclose(in_);
        if (out_) std::fclose(out_);
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    bool running() const { return pid_ > 0 && in_ && out_; }

    // Sends one command and returns the peer's one-line answer ("" when it is gone).
    std::string ask(const std::string& command) {
        std::fputs((command + "\n").c_str(), in_);
        std::fflush(in_);
        char line[256];
        if (!std::fgets(line, sizeof line, out_)) return "";
        std::string answer(line);
        if (!answer.empty() && answer.back() == '\n') answer.pop_back();
        return answer;
    }

private:
    pid_t pid_ = -1;
    FILE* in_ = nullptr;
    FILE* out_ = nullptr;
};

TEST(SharedSuiteProcessesTest, EachProcessSeesTheOthersWritesAtItsNextRead) {
    test::TempHome home;
    Peer peer;
    ASSERT_TRUE(peer.running());
    const auto& key = transparentBackground();

    // Fresh account: false everywhere, also from the peer's plain suite once its key exists.
    EXPECT_FALSE(Prefs::get(key));
    EXPECT_EQ(peer.ask("get"), "false");
    EXPECT_EQ(peer.ask("raw"), "false");

    Prefs::set(key, true);
    EXPECT_EQ(peer.ask("get"), "true");
    EXPECT_EQ(peer.ask("raw"), "true");

    EXPECT_EQ(peer.ask("set false"), "ok");
    EXPECT_FALSE(Prefs::get(key));
    EXPECT_EQ(peer.ask("set true"), "ok");
    EXPECT_TRUE(Prefs::get(key));

    // Removing the stored value makes both read false again, whoever removes it.
    EXPECT_EQ(peer.ask("reset"), "ok");
    EXPECT_FALSE(Prefs::get(key));
    EXPECT_EQ(peer.ask("get"), "false");
    Prefs::set(key, true);
    EXPECT_EQ(peer.ask("get"), "true");
    key.reset();
    EXPECT_EQ(peer.ask("get"), "false");
    EXPECT_FALSE(Prefs::get(key));
}

}  // namespace
}  // namespace vorrel
