#include "platform/SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

#include "platform/PrintableText.h"

namespace vorrel::platform {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

[[noreturn]] void fail(int error, const std::filesystem::path& path) {
    throw std::system_error(error, std::generic_category(),
                            "cannot read " + escapeControlCharacters(path.string()));
}

long readAt(int fd, void* buffer, std::size_t size, off_t offset) {
    ssize_t count;
    do count = ::pread(fd, buffer, size, offset);
    while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
}

}  // namespace

SourceFile::SourceFile(std::filesystem::path path)
    : path_(std::move(path)), fd_(openFile(path_.c_str(), O_RDONLY | O_NONBLOCK)) {
    if (!fd_) fail(errno, path_);
    struct stat status {};
    if (::fstat(fd_.get(), &status) != 0) fail(errno, path_);
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    openedAtNs_ = nanoseconds(now);
    regular_ = S_ISREG(status.st_mode);
    identity_ = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
                 static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)),
                 nanoseconds(status.st_mtim), nanoseconds(status.st_ctim)};
}

std::string SourceFile::head(std::size_t count) const {
    std::string bytes(regular_ ? count : 0, '\0');
    const long got = bytes.empty() ? 0 : readAt(fd_.get(), bytes.data(), bytes.size(), 0);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

bool SourceFile::settled(std::chrono::nanoseconds granularity) const {
    return std::max(identity_.modifiedNs, identity_.changedNs) + granularity.count() < openedAtNs_;
}

bool SourceFile::unchanged() const {
    const auto identityFrom = [](const struct stat& status) {
        return Identity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino),
                        static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)),
                        nanoseconds(status.st_mtim), nanoseconds(status.st_ctim)};
    };
    struct stat open {}, named {};
    return regular_ && ::fstat(fd_.get(), &open) == 0 && identityFrom(open) == identity_ &&
           ::stat(path_.c_str(), &named) == 0 && identityFrom(named) == identity_;
}

void SourceFile::readAll(const ByteObserver& observe) const {
    const std::size_t size = std::clamp<std::size_t>(identity_.size + 1, 4096, kChunkSize);
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    for (off_t offset = 0;;) {
        const long count = readAt(fd_.get(), buffer.get(), size, offset);
        if (count < 0) fail(errno, path_);
        if (count == 0) return;
        observe(std::span<const std::uint8_t>(buffer.get(), static_cast<std::size_t>(count)));
        offset += count;
    }
}

}  // namespace vorrel::platform
