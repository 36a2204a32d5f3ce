#include "cache/ConvertedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

namespace vorrel {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kPdfHeader = "%PDF-";
constexpr std::string_view kPdfEnd = "%%EOF";
constexpr std::size_t kPdfTail = 1024;
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n"sv;
// Length 0, type IEND, and the chunk's CRC.
constexpr std::string_view kPngEnd = "\0\0\0\0IEND\xae\x42\x60\x82"sv;

bool readAt(int fd, std::string& into, std::size_t size, off_t offset) {
    into.assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = pread(fd, into.data() + got, size - got, offset + off_t(got));
        if (count <= 0) return false;
        got += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

bool isWholeConvertedFile(const std::filesystem::path& path, OutputFormat format) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    const auto size = static_cast<std::size_t>(status.st_size);

    const std::string_view header = format == OutputFormat::PDF ? kPdfHeader : kPngSignature;
    std::string head, tail;
    if (size < header.size() + kPdfEnd.size() || !readAt(fd, head, header.size(), 0) ||
        head != header)
        return false;
    if (format == OutputFormat::PNG) {
        return size >= header.size() + kPngEnd.size() &&
               readAt(fd, tail, kPngEnd.size(), off_t(size - kPngEnd.size())) && tail == kPngEnd;
    }
    const std::size_t tailSize = std::min(size, kPdfTail);
    return readAt(fd, tail, tailSize, off_t(size - tailSize)) &&
           tail.find(kPdfEnd) != std::string::npos;
}

}  // namespace vorrel
