#pragma once
// ForkedWork: work done in a process forked for it, so that it starts before the program has
// loaded the rest of itself (vorrel-quicklook starts its converter before the window's
// libraries; quicklook/launcher/main.cpp).
//
// startForkedWork(work) forks; call it while the process has a single thread. The child:
//  - has /dev/null as its standard input, output and error: what the program prints stays its
//    own (a headless run's standard output carries only its JSON lines);
//  - gets SIGTERM when the thread that forked it ends (the program exited or was killed);
//  - on SIGTERM, SIGINT or SIGHUP (a terminal's Ctrl-C reaches its whole process group)
//    requests a stop through work's token, from a thread of its own, so that work can remove
//    what it made before it returns;
//  - ends with _exit(0) when work returns or throws: nothing of the parent's is flushed twice.
// It returns the child's process id, or -1 when the fork failed (the work is then not done).
//
// ForkedWork(pid) is the parent's hold on such a child: a thread of its own reaps it as soon
// as it ends (no zombie stays for the life of a window), and stop(bound), which the destructor
// calls, ends it: SIGTERM, at most `bound` waited, then SIGKILL. A pid of -1 holds nothing.
//
// Thread-safety: startForkedWork as above; a ForkedWork is used by one thread.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

namespace vorrel::platform {

pid_t startForkedWork(const std::function<void(std::stop_token)>& work);

// SIGTERM, SIGINT and SIGHUP held pending from now on, in this thread and those it starts: a
// program that has forked work must not end by a signal before it can stop that work in order.
// releaseTerminationSignals(), once their handlers are in place, delivers what came meanwhile.
void holdTerminationSignals();
void releaseTerminationSignals();

class ForkedWork {
public:
    static constexpr std::chrono::milliseconds kStopBound{5000};

    explicit ForkedWork(pid_t pid);
    ~ForkedWork();
    ForkedWork(const ForkedWork&) = delete;
    ForkedWork& operator=(const ForkedWork&) = delete;

    // Ends the child if it still runs; true when it has ended.
    bool stop(std::chrono::milliseconds bound = kStopBound);
    // Whether the child has ended (and been reaped).
    bool ended() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace vorrel::platform
