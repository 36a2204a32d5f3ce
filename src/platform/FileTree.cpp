#include "platform/FileTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <utility>

namespace vorrel::platform {

namespace fs = std::filesystem;

namespace {

std::uint64_t heldBy(const struct stat& status) {
    const auto allocated = static_cast<std::uint64_t>(status.st_blocks) * 512;
    return std::max(static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)), allocated);
}

// Opens folder `name` in `parent` for listing without following a link; gives it back its
// owner's read, write and execute permission when that is what stops it (and `repair`).
int openFolder(int parent, const char* name, bool repair) {
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(parent, name, flags);
    if (fd >= 0 || errno != EACCES || !repair) return fd;
    struct stat status {};
    if (fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(status.st_mode))
        return -1;
    if (fchmodat(parent, name, (status.st_mode & 07777) | S_IRWXU, 0) != 0) return -1;
    return openat(parent, name, flags);
}

// Walks folder `fd` (which it closes): adds up what its entries hold and, with `repair`,
// gives every folder beneath it its owner's rwx back. Depth is bounded by the file system's
// own path limits; each level holds one descriptor.
std::uint64_t walk(int fd, bool repair, int depth = 0) {
    DIR* folder = fdopendir(fd);
    if (!folder) {
        close(fd);
        return 0;
    }
    std::uint64_t total = 0;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat status {};
        if (fstatat(dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        total += heldBy(status);
        if (!S_ISDIR(status.st_mode) || depth > 4096) continue;
        if (repair && (status.st_mode & S_IRWXU) != S_IRWXU)
            fchmodat(dirfd(folder), entry->d_name, (status.st_mode & 07777) | S_IRWXU, 0);
        const int child = openFolder(dirfd(folder), entry->d_name, repair);
        if (child >= 0) total += walk(child, repair, depth + 1);
    }
    closedir(folder);
    return total;
}

// The tree at `path`: what it holds, its folders repaired on the way.
std::uint64_t walkTree(const fs::path& path, bool repair) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) return 0;
    std::uint64_t total = heldBy(status);
    if (!S_ISDIR(status.st_mode)) return total;
    const int fd = openFolder(AT_FDCWD, path.c_str(), repair);
    if (fd >= 0) total += walk(fd, repair);
    return total;
}

}  // namespace

std::error_code removeTree(const fs::path& path) {
    std::error_code error;
    fs::remove_all(path, error);
    if (!error) return {};
    walkTree(path, true);
    error.clear();
    fs::remove_all(path, error);
    return error;
}

std::uint64_t bytesHeld(const fs::path& path) { return walkTree(path, true); }

std::uint64_t openDeletedBytes(pid_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    DIR* descriptors = fdopendir(fd);
    if (!descriptors) {
        close(fd);
        return 0;
    }
    std::uint64_t total = 0;
    std::set<std::pair<dev_t, ino_t>> counted;  // a file open twice counts once
    constexpr std::string_view deleted = " (deleted)";
    while (const dirent* entry = readdir(descriptors)) {
        if (entry->d_name[0] == '.') continue;
        char target[4096];
        const ssize_t length =
            readlinkat(dirfd(descriptors), entry->d_name, target, sizeof target - 1);
        if (length <= 0) continue;
        const std::string_view link(target, static_cast<std::size_t>(length));
        if (!link.ends_with(deleted) || link.front() != '/') continue;
        struct stat status {};
        if (fstatat(dirfd(descriptors), entry->d_name, &status, 0) == 0 &&
            S_ISREG(status.st_mode) && status.st_nlink == 0 &&
            counted.insert({status.st_dev, status.st_ino}).second)
            total += heldBy(status);
    }
    closedir(descriptors);
    return total;
}

}  // namespace vorrel::platform
