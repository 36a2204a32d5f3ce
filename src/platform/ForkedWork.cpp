#include "platform/ForkedWork.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace vorrel::platform {

namespace {

void standardStreamsToNull() {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) return;
    for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
    if (null > 2) ::close(null);
}

sigset_t terminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    return signals;
}

[[noreturn]] void runChild(const std::function<void(std::stop_token)>& work, pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(0);  // the parent ended before the line above
    standardStreamsToNull();
    const sigset_t stopping = terminationSignals();
    // Blocked before any thread starts, so that every thread leaves them to the waiter.
    ::pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    std::stop_source stop;
    try {
        std::thread([stopping, stop]() mutable {
            int signal = 0;
            while (::sigwait(&stopping, &signal) != 0) {
            }
            stop.request_stop();
        }).detach();
        work(stop.get_token());
    } catch (...) {
        // The work reports nothing: whoever needs its result does it again.
    }
    ::_exit(0);
}

}  // namespace

void holdTerminationSignals() {
    const sigset_t signals = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void releaseTerminationSignals() {
    const sigset_t signals = terminationSignals();
    ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

pid_t startForkedWork(const std::function<void(std::stop_token)>& work) {
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) runChild(work, parent);
    return child;
}

struct ForkedWork::State {
    pid_t pid = -1;
    std::mutex mutex;
    std::condition_variable endedSignal;
    bool ended = false;
};

ForkedWork::ForkedWork(pid_t pid) : state_(std::make_shared<State>()) {
    state_->pid = pid;
    if (pid <= 0) {
        state_->ended = true;
        return;
    }
    try {
        std::thread([state = state_] {
            // Waits without reaping, and reaps under the lock: while stop() holds it and the
            // child is not marked ended, its pid cannot have gone to another process.
            siginfo_t info{};
            while (::waitid(P_PID, static_cast<id_t>(state->pid), &info, WEXITED | WNOWAIT) < 0 &&
                   errno == EINTR) {
            }
            std::lock_guard lock(state->mutex);
            int status = 0;
            while (::waitpid(state->pid, &status, 0) < 0 && errno == EINTR) {
            }
            state->ended = true;
            state->endedSignal.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread: the child is reaped when stop() waits for it.
        state_->pid = -pid;
    }
}

ForkedWork::~ForkedWork() {
    stop();
}

bool ForkedWork::ended() const {
    std::lock_guard lock(state_->mutex);
    return state_->ended;
}

bool ForkedWork::stop(std::chrono::milliseconds bound) {
    std::unique_lock lock(state_->mutex);
    if (state_->ended) return true;
    if (state_->pid < 0) {  // no reaping thread: waited for here
        const pid_t pid = -state_->pid;
        ::kill(pid, SIGTERM);
        lock.unlock();
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        lock.lock();
        state_->ended = true;
        return true;
    }
    // Not reaped yet, so the pid is still this child's.
    ::kill(state_->pid, SIGTERM);
    if (state_->endedSignal.wait_for(lock, bound, [&] { return state_->ended; })) return true;
    ::kill(state_->pid, SIGKILL);
    return state_->endedSignal.wait_for(lock, bound, [&] { return state_->ended; });
}

}  // namespace vorrel::platform
