#include "platform/FileCopy.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

#include "platform/PrintableText.h"

namespace vorrel::platform {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

[[noreturn]] void fail(int error, const char* what, const std::filesystem::path& path) {
    throw std::system_error(
        error, std::generic_category(),
        std::string(what) + " \"" + escapeControlCharacters(path.string()) + "\"");
}

class Descriptor {
public:
    Descriptor(const std::filesystem::path& path, int flags, mode_t mode = 0)
        : fd_(::open(path.c_str(), flags | O_CLOEXEC, mode)) {
        if (fd_ < 0) fail(errno, "cannot open", path);
    }
    ~Descriptor() { ::close(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A buffer for reading `fd`: as large as the file (at least a page), at most one chunk, and
// not filled beforehand. A small file (the usual EPS) then costs no megabyte of fresh pages.
struct Buffer {
    explicit Buffer(int fd) {
        struct stat status {};
        const auto fileSize = ::fstat(fd, &status) == 0 && status.st_size > 0
                                  ? static_cast<std::size_t>(status.st_size)
                                  : 0;
        size = std::clamp<std::size_t>(fileSize + 1, 4096, kChunkSize);
        bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    }
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size;
};

// Reads `fd` to its end in chunks; `each` gets every chunk.
template <typename Each>
void readAll(int fd, const std::filesystem::path& path, const Buffer& buffer, Each each) {
    for (;;) {
        const ssize_t count = ::read(fd, buffer.bytes.get(), buffer.size);
        if (count < 0) {
            if (errno == EINTR) continue;
            fail(errno, "cannot read", path);
        }
        if (count == 0) return;
        each(std::span<const std::uint8_t>(buffer.bytes.get(), static_cast<std::size_t>(count)));
    }
}

void writeAll(int fd, std::span<const std::uint8_t> bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            fail(errno, "cannot write", path);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(count));
    }
}

void copyInto(const std::filesystem::path& from, const std::filesystem::path& to, int target,
              const ByteObserver& observe) {
    const Descriptor source(from, O_RDONLY);
    (void)::posix_fadvise(source.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const Buffer buffer(source.get());
    if (::ioctl(target, FICLONE, source.get()) == 0) {
        // The clone is the snapshot: read it back, not the source, which may change.
        const Descriptor copy(to, O_RDONLY);
        readAll(copy.get(), to, buffer, observe);
        return;
    }
    readAll(source.get(), from, buffer, [&](std::span<const std::uint8_t> bytes) {
        observe(bytes);
        writeAll(target, bytes, to);
    });
}

}  // namespace

void copyFileOnce(const std::filesystem::path& from, const std::filesystem::path& to,
                  const ByteObserver& observe) {
    const Descriptor target(to, O_WRONLY | O_CREAT | O_EXCL, 0600);
    try {
        copyInto(from, to, target.get(), observe);
    } catch (...) {
        ::unlink(to.c_str());
        throw;
    }
}

bool copyInto(int to, const std::filesystem::path& from) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    bool ok = ::ftruncate(to, 0) == 0 && ::lseek(to, 0, SEEK_SET) == 0;
    bool inKernel = true;
    std::uint8_t buffer[16 << 10];
    while (ok) {
        ssize_t count = 0;
        if (inKernel) {
            count = ::copy_file_range(in, nullptr, to, nullptr, std::size_t{1} << 30, 0);
            // Not between these files: on through the buffer, from where the offsets stand.
            if (count < 0 &&
                (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                inKernel = false;
                continue;
            }
        } else {
            count = ::read(in, buffer, sizeof buffer);
            for (ssize_t done = 0; count > 0 && done < count;) {
                const ssize_t put =
                    ::write(to, buffer + done, static_cast<std::size_t>(count - done));
                if (put < 0 && errno != EINTR) count = -1;
                done += put > 0 ? put : 0;
            }
        }
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) ok = count == 0;
        if (count <= 0) break;
    }
    const int error = errno;
    ::close(in);
    errno = error;
    return ok;
}

FileDescriptor createNewFile(const std::filesystem::path& path) {
    FileDescriptor file = openFile(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (file) ::fchmod(file.get(), 0600);  // exactly, whatever the umask
    return file;
}

void syncFile(const std::filesystem::path& path) {
    const Descriptor file(path, O_RDONLY);
    if (::fsync(file.get()) != 0) fail(errno, "cannot sync", path);
}

}  // namespace vorrel::platform
