#include "support/SmallFileSystem.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace vorrel::test {

SmallFileSystem::SmallFileSystem(std::filesystem::path folder, std::uint64_t bytes)
    : folder_(std::move(folder)) {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    if (mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
        mounted_ = true;
    } else {
        why_ = std::string("cannot mount a tmpfs on ") + folder_.string() + ": " +
               std::strerror(errno);
    }
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
}

}  // namespace vorrel::test
