#pragma once
// FileDescriptor: an owning, move-only file descriptor, closed when it goes out of scope.
// The free functions below retry on EINTR, so no caller writes its own loop; each returns
// false (or an invalid descriptor) with errno set when the call fails.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace vorrel::platform {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    void reset(int fd = -1) noexcept;  // closes what it held (errno kept)

private:
    int fd_ = -1;
};

// open(2); O_CLOEXEC is always added.
FileDescriptor openFile(const char* path, int flags, unsigned mode = 0);

// One read(2) of at most `size` bytes: the count, 0 at the end, -1 on error.
long readSome(int fd, void* buffer, std::size_t size);

// Reads to the end, at most `limit` + 1 bytes (so a file larger than `limit` is noticed
// by its size); `bytes` holds what was read even on failure.
bool readAll(int fd, std::string& bytes, std::size_t limit);

// Writes every byte, however many write(2) calls that takes.
bool writeAll(int fd, std::string_view bytes);

// An exclusive flock(2) within `limit` (zero: one try), polling with a growing pause.
bool lockWithin(int fd, std::chrono::milliseconds limit);

}  // namespace vorrel::platform
