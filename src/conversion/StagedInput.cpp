#include "conversion/StagedInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "conversion/Decompression.h"
#include "conversion/IncompleteDocument.h"

namespace vorrel {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::system_error fileError(int error, const char* what, const std::filesystem::path& path) {
    return std::system_error(error, std::generic_category(), std::string(what) + " " + path.string());
}

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "cannot write");
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

std::filesystem::path stageInput(const std::filesystem::path& source,
                                 const std::filesystem::path& folder,
                                 const std::function<bool()>& stopped) {
    const Descriptor in(open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0) throw fileError(errno, "cannot read", source);
    struct stat status {};
    char firstBytes[3];
    ssize_t got = -1;
    if (fstat(in.get(), &status) == 0 && S_ISREG(status.st_mode))
        got = pread(in.get(), firstBytes, sizeof firstBytes, 0);
    const Compression format =
        got > 0 ? compressionOf({firstBytes, static_cast<std::size_t>(got)}) : Compression::none;
    if (format == Compression::none) return source;

    const std::filesystem::path staged = folder / kStagedInputName;
    const Descriptor out(open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) throw fileError(errno, "cannot create", staged);
    std::uint64_t expanded = 0;
    try {
        const auto limit = decompressedSizeLimit(static_cast<std::uint64_t>(status.st_size));
        decompress(in.get(), format, limit, [&out, &stopped, &expanded](std::string_view bytes) {
            writeAll(out.get(), bytes);
            expanded += bytes.size();
            return !stopped();
        });
    } catch (const DecompressionError& error) {
        // A stream that ends early still gives what it holds, as zcat does: named for it.
        if (error.limitText().empty() && expanded > 0) {
            const std::filesystem::path cut = folder / kCutInputName;
            if (rename(staged.c_str(), cut.c_str()) == 0) return cut;
        }
        unlink(staged.c_str());
        throw;
    } catch (...) {
        unlink(staged.c_str());
        throw;
    }
    return staged;
}

}  // namespace vorrel
