#include "platform/TerminationWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace vorrel::platform {

namespace {

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, signal);
    return set;
}

}  // namespace

TerminationWatch::TerminationWatch(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)) {
    const sigset_t signals = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, &previousMask_);
    signalFd_ = signalfd(-1, &signals, SFD_CLOEXEC);
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    if (signalFd_ < 0 || stopFd_ < 0) {
        const int error = errno;
        if (signalFd_ >= 0) close(signalFd_);
        if (stopFd_ >= 0) close(stopFd_);
        pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        throw std::system_error(error, std::generic_category(), "cannot watch for signals");
    }
    watcher_ = std::thread([this] { watch(); });
}

TerminationWatch::~TerminationWatch() {
    const std::uint64_t one = 1;
    (void)!write(stopFd_, &one, sizeof one);
    watcher_.join();
    close(signalFd_);
    close(stopFd_);
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void TerminationWatch::watch() {
    pollfd descriptors[] = {{signalFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        if (poll(descriptors, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (descriptors[1].revents) return;
        signalfd_siginfo info{};
        if (read(signalFd_, &info, sizeof info) != sizeof info) continue;
        const int signal = static_cast<int>(info.ssi_signo);
        int none = 0;
        if (received_.compare_exchange_strong(none, signal) && onSignal_) onSignal_(signal);
    }
}

}  // namespace vorrel::platform
