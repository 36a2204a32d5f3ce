#pragma once
// SourceFile: a user's file opened for reading, which remembers what it was when opened, so
// that a program reading it by its path meanwhile can be shown to have read those bytes.
//
// The identity kept is the one the key index trusts (device, inode, size, modification and
// change times in nanoseconds). A write, truncation, rename, link or unlink moves the change
// time, which no user can set back; within one tick of the file system's clock a second change
// may keep it, so a file is settled() only when its last change lies a tick behind.
//
//  - SourceFile(path) opens it (read-only, not blocking on a FIFO); std::system_error
//    "cannot read PATH" when it cannot;
//  - regular(), size(), head(n): what it held when opened (head: its first n bytes at most);
//  - settled(granularity): its last change was more than `granularity` before the open;
//  - unchanged(): the open file has its identity still, and its path names that same file;
//  - readAll(observe): every byte from its start to its end, in order, through the descriptor
//    (never the path), in chunks of at most 1 MiB; std::system_error when a read fails.
// Nothing here moves the descriptor's offset: descriptor() can be handed to a reader that
// starts at the beginning.
//
// Thread-safety: one thread at a time per object.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"

namespace vorrel::platform {

class SourceFile {
public:
    explicit SourceFile(std::filesystem::path path);

    int descriptor() const { return fd_.get(); }
    const std::filesystem::path& path() const { return path_; }
    bool regular() const { return regular_; }
    std::uint64_t size() const { return identity_.size; }
    std::string head(std::size_t count) const;

    bool settled(std::chrono::nanoseconds granularity) const;
    bool unchanged() const;
    void readAll(const ByteObserver& observe) const;

private:
    struct Identity {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedNs = 0, changedNs = 0;
        friend bool operator==(const Identity&, const Identity&) = default;
    };

    std::filesystem::path path_;
    FileDescriptor fd_;
    Identity identity_;
    bool regular_ = false;
    std::int64_t openedAtNs_ = 0;
};

}  // namespace vorrel::platform
