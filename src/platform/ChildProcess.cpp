#include "platform/ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <sys/pidfd.h>
}

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>
#include <thread>

extern char** environ;

namespace vorrel::platform {

namespace {

// posix_spawn's attributes, destroyed on every path.
class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&attributes_); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

int statusFromWait(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return 128;
}

}  // namespace

ChildProcess::ChildProcess(std::filesystem::path executable, std::vector<std::string> arguments)
    : executable_(std::move(executable)), arguments_(std::move(arguments)) {}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        signalGroup(SIGKILL);
        reap();
    }
    if (pidfd_ >= 0) close(pidfd_);
}

void ChildProcess::setEnvironment(const std::string& name, const std::string& value) {
    environment_[name] = value;
}

void ChildProcess::launch() {
    std::vector<std::string> environmentStrings;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string_view text(*entry);
        const auto name = text.substr(0, text.find('='));
        if (!environment_.count(std::string(name))) environmentStrings.emplace_back(text);
    }
    for (const auto& [name, value] : environment_) environmentStrings.push_back(name + "=" + value);

    std::vector<char*> argv;
    std::string program = executable_.string();
    argv.push_back(program.data());
    for (auto& argument : arguments_) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environmentStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    // A group of its own lets terminate() reach the programs the child starts in turn (a
    // shell script's children would otherwise keep running, and keep our output open).
    // Signal dispositions and mask are reset so the child does not inherit ours.
    SpawnAttributes attributes;
    sigset_t defaults;
    sigset_t empty;
    sigfillset(&defaults);
    sigemptyset(&empty);
    posix_spawnattr_setpgroup(attributes.get(), 0);
    posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    posix_spawnattr_setsigmask(attributes.get(), &empty);
    posix_spawnattr_setflags(
        attributes.get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int error =
        posix_spawn(&pid, program.c_str(), nullptr, attributes.get(), argv.data(), envp.data());
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "cannot launch " + program);
    pid_ = pid;
    // The child cannot be reaped by anybody but us, so its pid stays valid for pidfd_open
    // even when it has already ended.
    pidfd_ = pidfd_open(pid_, 0);
}

bool ChildProcess::waitUntil(Clock::time_point deadline) {
    if (status_) return true;
    if (!awaitExit(deadline)) return false;
    reap();
    return true;
}

void ChildProcess::wait() {
    if (status_ || pid_ <= 0) return;
    awaitExit(std::nullopt);
    reap();
}

void ChildProcess::terminate(std::chrono::milliseconds grace) {
    if (pid_ <= 0 || status_) return;
    signalGroup(SIGTERM);
    awaitExit(Clock::now() + grace);
    // The child is not reaped yet, so its pid (the group id) cannot have been reused: killing
    // the group also after the child ended removes whatever it left running.
    signalGroup(SIGKILL);
    wait();
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
            pollfd entry{pidfd_, POLLIN, 0};
            const int ready = poll(&entry, 1, timeout);
            if (ready > 0) return true;
            if (ready < 0 && errno != EINTR) return true;  // let waitpid tell
        } else {
            // Without pidfds (old kernels): look every few milliseconds, leaving it unreaped.
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0
                    ? errno != EINTR
                    : info.si_pid == pid_)
                return true;
            if (timeout != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (deadline && Clock::now() >= *deadline) return false;
    }
}

void ChildProcess::reap() {
    int waitStatus = 0;
    pid_t done;
    do {
        done = waitpid(pid_, &waitStatus, 0);
    } while (done < 0 && errno == EINTR);
    // ECHILD means somebody else reaped it (a SIGCHLD handler set to ignore): it has ended
    // with an unknown status, which must not read as success.
    status_ = done == pid_ ? statusFromWait(waitStatus) : 128;
}

void ChildProcess::signalGroup(int signal) const {
    if (pid_ > 0) ::kill(-pid_, signal);
}

}  // namespace vorrel::platform
