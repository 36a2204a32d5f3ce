#pragma once
// TerminationWatch: SIGTERM, SIGINT and SIGHUP turned into a call on a thread of its own, for
// programs without an event loop (the Qt one is desktop/TerminationSignals.h).
//
// What happens:
//  1. the constructor blocks the three signals in the calling thread, which every thread
//     started later inherits (so create it first thing in main(), before any other thread);
//     children started through ChildProcess get an empty mask again;
//  2. a watcher thread reads them from a signalfd and calls onSignal(signal) for the first one,
//     on that thread; later signals change nothing;
//  3. received() tells the first signal;
//  4. the destructor stops the watcher and unblocks the signals: one that came after the
//     watcher stopped then takes its default action.
// The program then ends its work and exits with exitStatus() = 128 + the signal's number.
//
// Errors: the constructor throws std::system_error when the signalfd or the thread cannot be
// made. Thread-safety: received() and exitStatus() from any thread; one object per process.

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace vorrel::platform {

class TerminationWatch {
public:
    explicit TerminationWatch(std::function<void(int signal)> onSignal);
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

    // The first signal received, or 0.
    int received() const { return received_.load(); }
    // 128 + received(), or `otherwise` when no signal came.
    int exitStatus(int otherwise) const { return received() ? 128 + received() : otherwise; }

private:
    void watch();

    std::function<void(int)> onSignal_;
    std::atomic<int> received_{0};
    sigset_t previousMask_{};
    int signalFd_ = -1;
    int stopFd_ = -1;  // an eventfd: written by the destructor to end the watcher
    std::thread watcher_;
};

}  // namespace vorrel::platform
