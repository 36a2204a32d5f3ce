#pragma once
// What the file system says of a file (stat(2)), and of the file system holding it
// (statvfs(2)), in the terms the rest of the code needs.
//
// FileIdentity tells one version of a file from another: a replacement by rename changes the
// inode, a change in place the size or the nanosecond times.
//
// Thread-safety: plain functions; callable from any thread.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace vorrel::platform {

struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNs = 0, changedNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileStatus {
    enum class Type { regular, folder, other };
    Type type = Type::other;
    FileIdentity identity;
    std::uint64_t allocatedBytes = 0;  // the blocks it takes on disk
    std::int64_t accessedNs = 0;
    // Whether the permission bits that apply to this process's user (owner, group or others)
    // allow writing; the bits only, so a file its owner made read-only counts as such for root.
    bool writableByMode = false;

    bool isRegular() const { return type == Type::regular; }
    std::uint64_t size() const { return identity.size; }
};

// Nothing when the file cannot be examined (errno set).
std::optional<FileStatus> statusOf(int fd);
// A symbolic link at `path` is followed unless `followLinks` is false.
std::optional<FileStatus> statusOf(const std::filesystem::path& path, bool followLinks = true);

// The identity of a regular file; nothing for anything else.
std::optional<FileIdentity> identityOf(int fd);
std::optional<FileIdentity> identityOf(const std::filesystem::path& path);

// Sets the last access time of the entry at `path` (a link is not followed) to `nanoseconds`
// since the epoch, or to now; its modification time stays. False when that fails.
bool setAccessTime(const std::filesystem::path& path, std::optional<std::int64_t> nanoseconds);

struct DiskSpace {
    std::uint64_t size = 0;       // the file system's whole size
    std::uint64_t available = 0;  // what an ordinary user may still fill
};
// The file system holding `path`; nothing when it cannot be examined.
std::optional<DiskSpace> diskSpace(const std::filesystem::path& path);

}  // namespace vorrel::platform
