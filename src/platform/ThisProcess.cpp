#include "platform/ThisProcess.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <string>

namespace vorrel::platform {

long processId() { return static_cast<long>(::getpid()); }

bool onMainThread() { return ::gettid() == ::getpid(); }

void setKernelThreadName(std::string_view name) {
    pthread_setname_np(pthread_self(), std::string(name.substr(0, 15)).c_str());
}

std::FILE* takeStandardOutput() {
    std::fflush(stdout);
    const int copy = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (copy < 0) return stdout;
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        ::close(copy);
        return stdout;
    }
    if (std::FILE* stream = ::fdopen(copy, "w")) return stream;
    ::dup2(copy, STDOUT_FILENO);  // the JSON lines still reach standard output
    ::close(copy);
    return stdout;
}

}  // namespace vorrel::platform
