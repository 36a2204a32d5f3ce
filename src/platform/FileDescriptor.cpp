#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/file.h>
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

long readSome(int fd, void* buffer, std::size_t size) {
    ssize_t count;
    do count = ::read(fd, buffer, size);
    while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
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

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

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

}  // namespace vorrel::platform
