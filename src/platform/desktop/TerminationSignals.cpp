#include "platform/desktop/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <cerrno>

namespace vorrel::platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeFds[2] = {-1, -1};
struct sigaction previous[3];

void onSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    (void)!write(pipeFds[1], &number, 1);  // a full pipe already holds a signal: enough
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous[i]);
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals() {
    if (pipeFds[0] < 0) return;
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous[i], nullptr);
    delete notifier_;
    close(pipeFds[0]);
    close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

int TerminationSignals::received() {
    readPipe();
    return received_;
}

void TerminationSignals::readPipe() {
    if (pipeFds[0] < 0) return;
    unsigned char number = 0;
    bool first = false;
    while (read(pipeFds[0], &number, 1) == 1) {
        if (received_ == 0) {
            received_ = number;
            first = true;
        }
    }
    if (first) emit arrived(received_);
}

}  // namespace vorrel::platform
