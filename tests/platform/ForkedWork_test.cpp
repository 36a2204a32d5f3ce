// Work in a forked process: stopped in order by its holder, or when the thread that forked it
// ends, and reaped, never left behind.
#include "platform/ForkedWork.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Work that says it started, waits for its stop, and says it was stopped.
std::function<void(std::stop_token)> waitingWork(const fs::path& folder) {
    return [folder](std::stop_token stop) {
        std::ofstream(folder / "started");
        while (!stop.stop_requested()) std::this_thread::sleep_for(5ms);
        std::ofstream(folder / "stopped");
    };
}

bool appears(const fs::path& file) {
    for (int i = 0; i < 400 && !fs::exists(file); ++i) std::this_thread::sleep_for(10ms);
    return fs::exists(file);
}

TEST(ForkedWork, EndsInOrderWhenStoppedOrWhenItsThreadEnds) {
    for (const bool holderStops : {true, false}) {
        SCOPED_TRACE(holderStops ? "stopped by its holder" : "its thread ended");
        test::TempHome home;
        pid_t pid = -1;
        if (holderStops) {
            pid = startForkedWork(waitingWork(home.root()));
            ASSERT_GT(pid, 0);
            ASSERT_TRUE(appears(home.root() / "started"));
            ForkedWork work(pid);
            EXPECT_TRUE(work.stop());
            EXPECT_TRUE(work.ended());
        } else {
            // The thread ends while the work runs, as the program does when it is killed.
            std::thread([&] {
                pid = startForkedWork(waitingWork(home.root()));
                appears(home.root() / "started");
            }).join();
            ASSERT_GT(pid, 0);
            ForkedWork work(pid);  // reaps it
            for (int i = 0; i < 400 && !work.ended(); ++i) std::this_thread::sleep_for(10ms);
            EXPECT_TRUE(work.ended());
        }
        EXPECT_TRUE(fs::exists(home.root() / "stopped"));  // its work ran to its own end
        EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);   // reaped: no zombie stays
        EXPECT_EQ(errno, ECHILD);
    }
}

}  // namespace
}  // namespace vorrel::platform
