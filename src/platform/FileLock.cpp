#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace vorrel::platform {

namespace {

// Waits for an exclusive flock on `fd` at most `limit`; 0 or the error (ETIMEDOUT). The wait
// blocks on a helper thread holding its own descriptor of the same open file, so that it
// queues in the kernel rather than polling.
int waitForLock(int fd, std::chrono::milliseconds limit) {
    struct Wait {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool abandoned = false;
        int error = 0;
    };
    FileDescriptor helper(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!helper) return errno;
    auto wait = std::make_shared<Wait>();
    try {
        std::thread([wait, helper = std::move(helper)]() mutable {
            const bool locked = lockWaiting(helper.get());
            const int error = locked ? 0 : errno;
            std::lock_guard lock(wait->mutex);
            if (wait->abandoned && locked) ::flock(helper.get(), LOCK_UN);
            helper.reset();  // the lock stays with the caller's descriptor
            wait->finished = true;
            wait->error = error;
            wait->done.notify_all();
        }).detach();
    } catch (const std::system_error& error) {
        return error.code().value();
    }
    std::unique_lock lock(wait->mutex);
    if (!wait->done.wait_for(lock, limit, [&] { return wait->finished; })) {
        wait->abandoned = true;
        return ETIMEDOUT;
    }
    return wait->error;
}

}  // namespace

FileLock::FileLock(const std::filesystem::path& path, std::chrono::milliseconds wait) {
    fd_ = openLockFile(path);
    struct stat info {};
    if (!fd_ || ::fstat(fd_.get(), &info) != 0) {
        error_ = errno;
        fd_.reset();
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        error_ = EINVAL;
        fd_.reset();
        return;
    }
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK) {
        error_ = errno;
        fd_.reset();
        return;
    }
    if (const int error = waitForLock(fd_.get(), wait)) {
        error_ = error;
        fd_.reset();
    }
}

ByteLock::ByteLock(const std::filesystem::path& path, std::uint64_t offset) : offset_(offset) {
    fd_ = openLockFile(path);
    struct stat info {};
    if (!fd_ || ::fstat(fd_.get(), &info) != 0) {
        error_ = errno;
        fd_.reset();
    } else if (!S_ISREG(info.st_mode)) {
        error_ = EINVAL;
        fd_.reset();
    }
}

bool ByteLock::tryLock() {
    if (locked_) return true;
    if (!fd_) return false;
    struct flock byte {};
    byte.l_type = F_WRLCK;
    byte.l_whence = SEEK_SET;
    byte.l_start = static_cast<off_t>(offset_);
    byte.l_len = 1;
    if (::fcntl(fd_.get(), F_OFD_SETLK, &byte) == 0) {
        locked_ = true;
        error_ = 0;
        return true;
    }
    error_ = errno == EACCES ? EAGAIN : errno;
    return false;
}

}  // namespace vorrel::platform
