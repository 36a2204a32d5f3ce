#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace vorrel::platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int FileDescriptor::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::reset(int fd) noexcept {
    if (fd_ >= 0 && fd_ != fd) {
        const int saved = errno;
        ::close(fd_);  // never retried: Linux frees the number even when close is interrupted
        errno = saved;
    }
    fd_ = fd;
}

FileDescriptor openFile(const char* path, int flags, unsigned mode) {
    int fd;
    do fd = ::open(path, flags | O_CLOEXEC, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

namespace {

int openFlags(OpenOptions options) {
    return (options.nonBlocking ? O_NONBLOCK : 0) | (options.noFollow ? O_NOFOLLOW : 0);
}

}  // namespace

FileDescriptor openToRead(const std::filesystem::path& path, OpenOptions options) {
    return openFile(path.c_str(), O_RDONLY | O_NOCTTY | openFlags(options));
}

FileDescriptor openToWrite(const std::filesystem::path& path, OpenOptions options) {
    return openFile(path.c_str(), O_WRONLY | O_NOCTTY | openFlags(options));
}

FileDescriptor createNewFile(const std::filesystem::path& path, unsigned mode) {
    FileDescriptor fd = openFile(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
    if (fd) ::fchmod(fd.get(), static_cast<mode_t>(mode));
    return fd;
}

FileDescriptor createTemporaryFile(std::string& pattern) {
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd) ::fchmod(fd.get(), 0600);
    return fd;
}

FileDescriptor openLockFile(const std::filesystem::path& path) {
    return openFile(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK, 0600);
}

FileDescriptor openToAppend(const std::filesystem::path& path, Creation creation, unsigned mode) {
    constexpr int kFlags = O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    const int extra = creation == Creation::new_          ? O_CREAT | O_EXCL
                      : creation == Creation::truncating ? O_CREAT | O_TRUNC
                                                         : 0;
    FileDescriptor fd = openFile(path.c_str(), O_RDWR | kFlags | extra, mode);
    if (fd || errno != EACCES) return fd;
    return openFile(path.c_str(), O_WRONLY | kFlags | extra, mode);
}

bool setPermissions(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)) == 0; }

FileDescriptor openFolder(const std::filesystem::path& path) {
    return openFile(path.c_str(), O_RDONLY | O_DIRECTORY);
}

long readSome(int fd, void* buffer, std::size_t size) {
    ssize_t count;
    do count = ::read(fd, buffer, size);
    while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
}

bool readExactlyAt(int fd, std::string& bytes, std::size_t size, std::uint64_t offset) {
    bytes.resize(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count =
            ::pread(fd, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        got += static_cast<std::size_t>(count);
    }
    return true;
}

bool readAll(int fd, std::string& bytes, std::size_t limit) {
    bytes.clear();
    char buffer[65536];
    while (bytes.size() <= limit) {
        const long count = readSome(fd, buffer, std::min(sizeof buffer, limit + 1 - bytes.size()));
        if (count < 0) return false;
        if (count == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

bool writeAll(int fd, std::string_view bytes, std::size_t* written) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            if (count == 0) errno = EIO;
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    if (written) *written = done;
    return done == bytes.size();
}

bool rewind(int fd) { return ::lseek(fd, 0, SEEK_SET) == 0; }

bool truncateToNothing(int fd) { return ::ftruncate(fd, 0) == 0; }

bool syncToDisk(int fd) { return ::fsync(fd) == 0; }

bool lockWithin(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::microseconds(100);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    return true;
}

bool lockWaiting(int fd) {
    int result;
    do result = ::flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

void unlock(int fd) { ::flock(fd, LOCK_UN); }

}  // namespace vorrel::platform
