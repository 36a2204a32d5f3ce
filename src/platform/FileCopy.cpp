#include "platform/FileCopy.h"

#include <fcntl.h>
#include <stdio.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

#include "platform/FileDescriptor.h"
#include "platform/PrintableText.h"

namespace vorrel::platform {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

[[noreturn]] void fail(int error, const char* what, const std::filesystem::path& path) {
    throw std::system_error(
        error, std::generic_category(),
        std::string(what) + " \"" + escapeControlCharacters(path.string()) + "\"");
}

// The descriptor opened, or the error thrown.
FileDescriptor openOrFail(const std::filesystem::path& path, int flags, unsigned mode = 0) {
    FileDescriptor fd = openFile(path.c_str(), flags, mode);
    if (!fd) fail(errno, "cannot open", path);
    return fd;
}

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
void readChunks(int fd, const std::filesystem::path& path, const Buffer& buffer, Each each) {
    for (;;) {
        const long count = readSome(fd, buffer.bytes.get(), buffer.size);
        if (count < 0) fail(errno, "cannot read", path);
        if (count == 0) return;
        each(std::span<const std::uint8_t>(buffer.bytes.get(), static_cast<std::size_t>(count)));
    }
}

void writeOrFail(int fd, std::span<const std::uint8_t> bytes, const std::filesystem::path& path) {
    if (!writeAll(fd, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        fail(errno, "cannot write", path);
}

void copyInto(const std::filesystem::path& from, const std::filesystem::path& to, int target,
              const ByteObserver& observe) {
    const FileDescriptor source = openOrFail(from, O_RDONLY);
    (void)::posix_fadvise(source.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const Buffer buffer(source.get());
    if (::ioctl(target, FICLONE, source.get()) == 0) {
        // The clone is the snapshot: read it back, not the source, which may change.
        const FileDescriptor copy = openOrFail(to, O_RDONLY);
        readChunks(copy.get(), to, buffer, observe);
        return;
    }
    readChunks(source.get(), from, buffer, [&](std::span<const std::uint8_t> bytes) {
        observe(bytes);
        writeOrFail(target, bytes, to);
    });
}

}  // namespace

void copyFileOnce(const std::filesystem::path& from, const std::filesystem::path& to,
                  const ByteObserver& observe) {
    const FileDescriptor target = openOrFail(to, O_WRONLY | O_CREAT | O_EXCL, 0600);
    try {
        copyInto(from, to, target.get(), observe);
    } catch (...) {
        ::unlink(to.c_str());
        throw;
    }
}

bool copyInto(int to, const std::filesystem::path& from) {
    const FileDescriptor input = openFile(from.c_str(), O_RDONLY);
    if (!input) return false;
    const int in = input.get();
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
            if (count < 0 && errno == EINTR) continue;
        } else {
            count = readSome(in, buffer, sizeof buffer);
            if (count > 0 &&
                !writeAll(to, std::string_view(reinterpret_cast<const char*>(buffer),
                                               static_cast<std::size_t>(count))))
                count = -1;
        }
        if (count <= 0) ok = count == 0;
        if (count <= 0) break;
    }
    return ok;
}

std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    int error = errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing target too.
    if (error == EINVAL || error == ENOSYS) {
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return {};
        }
        error = errno;
    }
    return {error, std::generic_category()};
}

}  // namespace vorrel::platform
