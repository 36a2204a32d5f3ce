#include "platform/FileCopy.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "platform/PrintableText.h"

namespace vorrel::platform {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

[[noreturn]] void fail(int error, const char* what, const std::filesystem::path& path) {
    throw std::system_error(error, std::generic_category(),
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

// Reads `fd` to its end in chunks; `each` gets every chunk.
template <typename Each>
void readAll(int fd, const std::filesystem::path& path, std::vector<std::uint8_t>& buffer,
             Each each) {
    for (;;) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            fail(errno, "cannot read", path);
        }
        if (count == 0) return;
        each(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(count)));
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
    std::vector<std::uint8_t> buffer(kChunkSize);
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

void syncFile(const std::filesystem::path& path) {
    const Descriptor file(path, O_RDONLY);
    if (::fsync(file.get()) != 0) fail(errno, "cannot sync", path);
}

}  // namespace vorrel::platform
