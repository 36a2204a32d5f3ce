#pragma once
// FileDescriptor: an owning, move-only file descriptor, closed when it goes out of scope.
// The free functions below retry on EINTR, so no caller writes its own loop; each returns
// false (or an invalid descriptor) with errno set when the call fails.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
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

// The opens the rest of the code needs, named, so that it never spells open(2)'s flags.
struct OpenOptions {
    bool nonBlocking = false;  // a FIFO at the path answers at once instead of waiting
    bool noFollow = false;     // a symbolic link at the path is refused (ELOOP)
};
// Reading only; never makes the file the controlling terminal.
FileDescriptor openToRead(const std::filesystem::path& path, OpenOptions options = {});
// Writing only, an existing file, not truncated.
FileDescriptor openToWrite(const std::filesystem::path& path, OpenOptions options = {});
// A new file for writing, never one already there (EEXIST), with exactly `mode`, whatever
// the umask.
FileDescriptor createNewFile(const std::filesystem::path& path, unsigned mode);
// A new file of mode 0600 exactly, named after `pattern`, whose last six characters "XXXXXX"
// become the name made (mkostemp).
FileDescriptor createTemporaryFile(std::string& pattern);
// The lock file at `path` for reading and writing, created with mode 0600 when missing; a
// symbolic link is refused and a FIFO does not block.
FileDescriptor openLockFile(const std::filesystem::path& path);
// A file shared by several writers that each add whole lines (a log): every write goes to
// the end; opened for reading too where the mode allows (to look at the last byte), else for
// writing only. A symbolic link is refused (ELOOP), a FIFO does not block.
enum class Creation {
    existing,    // only a file already there (ENOENT otherwise)
    new_,        // only a new file, created with `mode` (EEXIST otherwise)
    truncating,  // created with `mode` when missing, else cut to nothing
};
FileDescriptor openToAppend(const std::filesystem::path& path, Creation creation, unsigned mode);
// fchmod(2): exactly `mode` on the open file, never through a path a link could redirect.
bool setPermissions(int fd, unsigned mode);
// A folder, for syncing what was renamed in it.
FileDescriptor openFolder(const std::filesystem::path& path);

// One read(2) of at most `size` bytes: the count, 0 at the end, -1 on error.
long readSome(int fd, void* buffer, std::size_t size);

// Exactly `size` bytes from `offset` (pread(2)); false at an early end or an error.
bool readExactlyAt(int fd, std::string& bytes, std::size_t size, std::uint64_t offset);

// Reads to the end, at most `limit` + 1 bytes (so a file larger than `limit` is noticed
// by its size); `bytes` holds what was read even on failure.
bool readAll(int fd, std::string& bytes, std::size_t limit);

// Writes every byte, however many write(2) calls that takes; `written`, when given, counts
// what reached the file, also when a write fails (a full disk).
bool writeAll(int fd, std::string_view bytes, std::size_t* written = nullptr);

// Back to the start of the file, for reading it again.
bool rewind(int fd);
// Cuts the file to nothing.
bool truncateToNothing(int fd);
// fsync(2): the file's data and size on disk.
bool syncToDisk(int fd);

// An exclusive flock(2) within `limit` (zero: one try), polling with a growing pause.
bool lockWithin(int fd, std::chrono::milliseconds limit);

// An exclusive flock(2), waited for in the kernel's queue for as long as it takes.
bool lockWaiting(int fd);
// Gives up a flock(2).
void unlock(int fd);

}  // namespace vorrel::platform
