#include "platform/ChildProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <sys/pidfd.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/FileDescriptor.h"

namespace vorrel::platform {

namespace {

int statusFromWait(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return 128;
}

// Everything the child needs, built before the fork: after it, the child of a threaded
// process may only make system calls (no allocation, no locks).
struct ChildPlan {
    const char* program;
    char* const* argv;
    char* const* envp;
    pid_t parent;
    int errorFd;  // close-on-exec: exec closes it, a failure writes its errno into it
    const Sandbox::Prepared* sandbox;
    int inputFd;   // what standard input becomes: an empty pipe
    int outputFd;  // -1, or what standard output and error become
    bool background;               // lowest share of processor and disk
    const char* workingDirectory;  // nullptr: the parent's
};

// ioprio_set(2): glibc has no wrapper and no header for it.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioIdleClass = 3;
constexpr int kIoprioClassShift = 13;
constexpr int kBackgroundNiceness = 10;

[[noreturn]] void failInChild(int errorFd, int error) {
    writeAll(errorFd, std::string_view(reinterpret_cast<const char*>(&error), sizeof error));
    _exit(127);
}

// Closes descriptors from 3 up, except the (at most two) in `keep`, without allocating. Uses
// close_range, and on kernels before 5.9 reads /proc/self/fd with getdents64.
void closeDescriptorsExcept(int keepA, int keepB) {
    int keep[2] = {std::min(keepA, keepB), std::max(keepA, keepB)};
    unsigned int from = 3;
    bool ranged = true;
    for (int fd : keep) {
        if (fd < static_cast<int>(from)) continue;
        if (static_cast<unsigned int>(fd) > from && close_range(from, fd - 1, 0) != 0)
            ranged = false;
        from = static_cast<unsigned int>(fd) + 1;
    }
    if (ranged && close_range(from, ~0U, 0) == 0) return;

    const int folder = open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    alignas(8) char buffer[4096];
    long length;
    while ((length = syscall(SYS_getdents64, folder, buffer, sizeof buffer)) > 0) {
        for (long at = 0; at < length;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += entry->d_reclen;
            int fd = 0;
            const char* digit = entry->d_name;
            if (*digit < '0' || *digit > '9') continue;
            for (; *digit >= '0' && *digit <= '9'; ++digit) fd = fd * 10 + (*digit - '0');
            if (fd >= 3 && fd != folder && fd != keepA && fd != keepB) close(fd);
        }
    }
    close(folder);
}

[[noreturn]] void runChild(const ChildPlan& plan) {
    // Default handling for every signal, then an empty mask (the parent blocked them all
    // around the fork, so none of its handlers can run here). Raw system calls: the C
    // library's wrappers may be intercepted by sanitizers.
    struct KernelSigaction {
        void* handler;
        unsigned long flags;
        void* restorer;
        std::uint64_t mask;
    } defaults{};
    for (int signal = 1; signal < 65; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP)
            syscall(SYS_rt_sigaction, signal, &defaults, nullptr, sizeof(std::uint64_t));
    const std::uint64_t empty = 0;
    syscall(SYS_rt_sigprocmask, SIG_SETMASK, &empty, nullptr, sizeof empty);

    if (setpgid(0, 0) != 0) failInChild(plan.errorFd, errno);
    // Dies with the thread that forked it; if the parent is gone already, nobody would.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0) failInChild(plan.errorFd, errno);
    if (getppid() != plan.parent) _exit(127);
    if (plan.background) {
        // Best effort: a child that keeps its priority still does its work.
        setpriority(PRIO_PROCESS, 0, kBackgroundNiceness);
        syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioIdleClass << kIoprioClassShift);
    }

    if (dup2(plan.inputFd, STDIN_FILENO) < 0) failInChild(plan.errorFd, errno);
    if (plan.outputFd >= 0) {
        if (dup2(plan.outputFd, STDOUT_FILENO) < 0 || dup2(plan.outputFd, STDERR_FILENO) < 0)
            failInChild(plan.errorFd, errno);
    }
    if (plan.workingDirectory && chdir(plan.workingDirectory) != 0)
        failInChild(plan.errorFd, errno);
    closeDescriptorsExcept(plan.errorFd, plan.sandbox ? plan.sandbox->descriptor() : -1);
    if (plan.sandbox) {
        if (const int error = plan.sandbox->applyInChild()) failInChild(plan.errorFd, error);
    }
    execve(plan.program, plan.argv, plan.envp);
    failInChild(plan.errorFd, errno);
}

int childEntry(void* plan) { runChild(*static_cast<const ChildPlan*>(plan)); }

// Starts the child as runChild(plan) and returns its pid, or -1 with errno set.
//
// The child shares the parent's memory and the parent sleeps until it has exec'ed or ended
// (CLONE_VM | CLONE_VFORK, as posix_spawn does): no page tables are copied and no page is
// copied on write afterwards. In the preview window's process, with its large heap, a fork
// cost about a quarter of the time to a document's first page. runChild
// makes system calls only, on a stack of its own, so it writes nothing the parent reads.
// Sanitizer runtimes intercept some of those calls and keep state in the shared memory, so
// sanitized builds fork instead.
pid_t startChild(const ChildPlan& plan) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const pid_t pid = _Fork();  // no fork handlers: the child only makes system calls
    if (pid == 0) runChild(plan);
    return pid;
#else
    constexpr std::size_t kStackSize = 128 * 1024;
    void* stack = mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED) return -1;
    const pid_t pid = clone(childEntry, static_cast<char*>(stack) + kStackSize,
                            CLONE_VM | CLONE_VFORK | SIGCHLD, const_cast<ChildPlan*>(&plan));
    const int error = errno;
    munmap(stack, kStackSize);
    errno = error;
    return pid;
#endif
}

// Blocks every signal of the calling thread for its lifetime.
class BlockedSignals {
public:
    BlockedSignals() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous_);
    }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

private:
    sigset_t previous_;
};

}  // namespace

ChildProcess::ChildProcess(std::filesystem::path executable, std::vector<std::string> arguments)
    : executable_(std::move(executable)), arguments_(std::move(arguments)) {}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) finish();
    if (pidfd_ >= 0) close(pidfd_);
    if (outputPipe_ >= 0) close(outputPipe_);
}

void ChildProcess::setEnvironment(const std::string& name, const std::string& value) {
    environment_[name] = value;
}

void ChildProcess::launch() {
    std::vector<std::string> environmentStrings;
    for (const auto& [name, value] : environment_) environmentStrings.push_back(name + "=" + value);

    std::vector<char*> argv;
    std::string program = executable_.string();
    argv.push_back(program.data());
    for (auto& argument : arguments_) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environmentStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const auto fail = [&program](int error) {
        return std::system_error(error, std::generic_category(), "cannot launch " + program);
    };
    std::unique_ptr<Sandbox::Prepared> sandbox;
    if (sandbox_) {
        try {
            sandbox = sandbox_->prepare();
        } catch (const std::system_error& error) {
            throw std::system_error(error.code(), "cannot launch " + program + ": " + error.what());
        }
    }
    // Descriptors closed on every path out of launch() (the child's copies are dup2'ed).
    FileDescriptor own[5];
    enum { errorRead, errorWrite, input, output, outputRead };
    // Standard input: a pipe without writer, so reading it ends at once.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw fail(errno);
    own[input].reset(pipeFds[0]);
    close(pipeFds[1]);
    if (captureLimit_ > 0) {
        if (pipe2(pipeFds, O_CLOEXEC) != 0) throw fail(errno);
        own[outputRead].reset(pipeFds[0]);
        own[output].reset(pipeFds[1]);
        fcntl(own[outputRead].get(), F_SETFL, O_NONBLOCK);
    } else if (discardOutput_) {
        // Where /dev/null cannot be opened (no /dev in a sandbox), the output stays inherited.
        own[output] = openFile("/dev/null", O_WRONLY);
    }
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw fail(errno);
    own[errorRead].reset(pipeFds[0]);
    own[errorWrite].reset(pipeFds[1]);
    const ChildPlan plan{program.c_str(),
                         argv.data(),
                         envp.data(),
                         getpid(),
                         own[errorWrite].get(),
                         sandbox.get(),
                         own[input].get(),
                         own[output].get(),
                         background_,
                         workingDirectory_.empty() ? nullptr : workingDirectory_.c_str()};

    pid_t pid;
    {
        BlockedSignals blocked;
        pid = startChild(plan);
    }
    const int forkError = errno;
    own[errorWrite].reset();
    own[input].reset();
    own[output].reset();
    if (pid < 0) throw fail(forkError);
    int childError = 0;
    const long got = readSome(own[errorRead].get(), &childError, sizeof childError);
    pid_ = pid;
    outputPipe_ = own[outputRead].release();
    if (got > 0) {
        reap();
        pid_ = 0;
        status_.reset();
        throw fail(childError);
    }
    // The child cannot be reaped by anybody but us, so its pid stays valid for pidfd_open
    // even when it has already ended.
    pidfd_ = pidfd_open(pid_, 0);
}

bool ChildProcess::waitUntil(Clock::time_point deadline) {
    if (status_) return true;
    if (!awaitExit(deadline)) return false;
    finish();
    return true;
}

void ChildProcess::wait() {
    if (status_ || pid_ <= 0) return;
    awaitExit(std::nullopt);
    finish();
}

void ChildProcess::finish() {
    // The child is not reaped yet, so its pid (the group id) cannot have been reused.
    signalGroup(SIGKILL);
    reap();
    while (outputPipe_ >= 0) {
        // The group is dead: what is left in the pipe is all there is.
        pollfd entry{outputPipe_, POLLIN, 0};
        if (poll(&entry, 1, 100) <= 0) break;
        readOutput();
    }
    // Members of the group that were still dying; the group id stays taken while any exists.
    for (int waited = 0; waited < 1000 && ::kill(-pid_, 0) == 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ChildProcess::readOutput() {
    char buffer[16384];
    for (;;) {
        const long count = readSome(outputPipe_, buffer, sizeof buffer);
        if (count > 0) {
            captured_.append(buffer, static_cast<std::size_t>(count));
            if (captured_.size() > captureLimit_)
                captured_.erase(0, captured_.size() - captureLimit_);
            continue;
        }
        if (count == 0) {
            close(outputPipe_);
            outputPipe_ = -1;
        }
        return;
    }
}

void ChildProcess::terminate(std::chrono::milliseconds grace) {
    if (pid_ <= 0 || status_) return;
    signalGroup(SIGTERM);
    awaitExit(Clock::now() + grace);
    finish();
}

bool ChildProcess::awaitExit(std::optional<Clock::time_point> deadline) {
    if (pid_ <= 0) return false;
    while (true) {
        int timeout = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<decltype(left)>(left, 0, 1'000'000));
        }
        if (pidfd_ >= 0) {
            pollfd entries[2] = {{pidfd_, POLLIN, 0}, {outputPipe_, POLLIN, 0}};
            const int ready = poll(entries, outputPipe_ >= 0 ? 2 : 1, timeout);
            if (ready > 0 && entries[1].revents) readOutput();
            if (ready > 0 && entries[0].revents) return true;
            if (ready < 0 && errno != EINTR) return true;  // let waitpid tell
        } else {
            // Without pidfds (old kernels): look every few milliseconds, leaving it unreaped.
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0
                    ? errno != EINTR
                    : info.si_pid == pid_)
                return true;
            if (outputPipe_ >= 0) readOutput();
            if (timeout != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (deadline && Clock::now() >= *deadline) return false;
    }
}

void ChildProcess::reap() {
    std::lock_guard lock(reapMutex_);
    int waitStatus = 0;
    pid_t done;
    do {
        done = waitpid(pid_, &waitStatus, 0);
    } while (done < 0 && errno == EINTR);
    // ECHILD means somebody else reaped it (a SIGCHLD handler set to ignore): it has ended
    // with an unknown status, which must not read as success.
    status_ = done == pid_ ? statusFromWait(waitStatus) : 128;
}

void ChildProcess::killGroup() { signalGroup(SIGKILL); }

void ChildProcess::signalGroup(int signal) {
    std::lock_guard lock(reapMutex_);
    if (pid_ > 0 && !status_) ::kill(-pid_, signal);
}

}  // namespace vorrel::platform
