#include "platform/SystemVersion.h"

#include <mutex>

namespace vorrel::platform {

namespace {
std::mutex overrideMutex;
std::optional<OperatingSystemVersion> overrideVersion;
}  // namespace

OperatingSystemVersion SystemVersion::current() {
    std::lock_guard lock(overrideMutex);
    return overrideVersion.value_or(kLinuxSystemVersion);
}

bool SystemVersion::isAtLeast(OperatingSystemVersion version) { return current() >= version; }

void SystemVersion::setForTesting(std::optional<OperatingSystemVersion> version) {
    std::lock_guard lock(overrideMutex);
    overrideVersion = version;
}

}  // namespace vorrel::platform
