#include "platform/FileStatus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vorrel::platform {

namespace {

std::int64_t nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

FileStatus statusFrom(const struct stat& info) {
    FileStatus status;
    status.type = S_ISREG(info.st_mode)   ? FileStatus::Type::regular
                  : S_ISDIR(info.st_mode) ? FileStatus::Type::folder
                                          : FileStatus::Type::other;
    status.identity = {static_cast<std::uint64_t>(info.st_dev),
                       static_cast<std::uint64_t>(info.st_ino),
                       static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
                       nanoseconds(info.st_ctim)};
    status.allocatedBytes = static_cast<std::uint64_t>(info.st_blocks) * 512;
    status.accessedNs = nanoseconds(info.st_atim);
    const mode_t bit = info.st_uid == ::geteuid()   ? S_IWUSR
                       : info.st_gid == ::getegid() ? S_IWGRP
                                                    : S_IWOTH;
    status.writableByMode = (info.st_mode & bit) != 0;
    return status;
}

std::optional<FileIdentity> regularIdentity(const std::optional<FileStatus>& status) {
    if (!status || !status->isRegular()) return std::nullopt;
    return status->identity;
}

}  // namespace

std::optional<FileStatus> statusOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return std::nullopt;
    return statusFrom(info);
}

std::optional<FileStatus> statusOf(const std::filesystem::path& path, bool followLinks) {
    struct stat info {};
    if ((followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0)
        return std::nullopt;
    return statusFrom(info);
}

std::optional<FileIdentity> identityOf(int fd) { return regularIdentity(statusOf(fd)); }

std::optional<FileIdentity> identityOf(const std::filesystem::path& path) {
    return regularIdentity(statusOf(path));
}

bool setAccessTime(const std::filesystem::path& path, std::optional<std::int64_t> nanoseconds) {
    struct timespec accessed {0, UTIME_NOW};
    if (nanoseconds) accessed = {*nanoseconds / 1'000'000'000, *nanoseconds % 1'000'000'000};
    const struct timespec times[2] = {accessed, {0, UTIME_OMIT}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

std::optional<DiskSpace> diskSpace(const std::filesystem::path& path) {
    struct statvfs system {};
    if (::statvfs(path.c_str(), &system) != 0) return std::nullopt;
    return DiskSpace{static_cast<std::uint64_t>(system.f_blocks) * system.f_frsize,
                     static_cast<std::uint64_t>(system.f_bavail) * system.f_frsize};
}

}  // namespace vorrel::platform
