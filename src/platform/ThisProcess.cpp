#include "platform/ThisProcess.h"

#include <pthread.h>
#include <unistd.h>

#include <string>

namespace vorrel::platform {

long processId() { return static_cast<long>(::getpid()); }

bool onMainThread() { return ::gettid() == ::getpid(); }

void setKernelThreadName(std::string_view name) {
    pthread_setname_np(pthread_self(), std::string(name.substr(0, 15)).c_str());
}

}  // namespace vorrel::platform
