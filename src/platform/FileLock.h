#pragma once
// FileLock: an exclusive advisory lock (flock) on a lock file, held for the life of the object
// and released when it ends.
//
// The lock file is created with mode 0600 when missing. It must be a regular file: a symbolic
// link planted there fails with ELOOP, a FIFO or anything else with EINVAL. A lock another
// process holds is waited for in the kernel's queue, which serves waiters fairly, but at most
// `wait`: a lock held for ever must not hang us (ETIMEDOUT). When the time is up, the waiting
// helper thread is left behind; should it still get the lock, it releases it at once.
//
// Thread-safety: a FileLock is used by one thread; flock locks are per open file, so two
// FileLocks on one path exclude each other within a process too.

#include <chrono>
#include <cstdint>
#include <filesystem>

#include "platform/FileDescriptor.h"

namespace vorrel::platform {

class FileLock {
public:
    FileLock(const std::filesystem::path& path, std::chrono::milliseconds wait);

    bool locked() const { return static_cast<bool>(fd_); }
    // Why it is not locked: an errno value, ETIMEDOUT when the wait ran out.
    int error() const { return error_; }

private:
    FileDescriptor fd_;
    int error_ = 0;
};

// ByteLock: an exclusive lock on one byte of a lock file, so that one file holds many
// independent locks. It belongs to the open file (fcntl's F_OFD_SETLK), so two ByteLocks
// exclude each other within a process as across processes, and the kernel drops it when its
// holder ends however it ends. The lock file is checked as FileLock's; the lock is released
// when the object ends.
//
// Thread-safety: a ByteLock is used by one thread.
class ByteLock {
public:
    // Opens the lock file; nothing is locked yet (error() when the file cannot be used).
    ByteLock(const std::filesystem::path& path, std::uint64_t offset);

    // One attempt, never waiting: true when the byte is now held; else false with error()
    // EAGAIN while another holds it, or why the lock cannot be had (EINVAL: a kernel without
    // open-file locks).
    bool tryLock();
    bool locked() const { return locked_; }
    int error() const { return error_; }

private:
    FileDescriptor fd_;
    std::uint64_t offset_;
    bool locked_ = false;
    int error_ = 0;
};

}  // namespace vorrel::platform
