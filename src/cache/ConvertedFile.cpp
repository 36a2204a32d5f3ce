#include "cache/ConvertedFile.h"

#include <algorithm>
#include <string_view>

#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"

namespace vorrel {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kPdfHeader = "%PDF-";
constexpr std::string_view kPdfEnd = "%%EOF";
constexpr std::size_t kPdfTail = 1024;
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n"sv;
// Length 0, type IEND, and the chunk's CRC.
constexpr std::string_view kPngEnd = "\0\0\0\0IEND\xae\x42\x60\x82"sv;

}  // namespace

bool isWholeConvertedFile(const std::filesystem::path& path, OutputFormat format) {
    const platform::FileDescriptor file = platform::openToRead(path, {.noFollow = true});
    if (!file) return false;
    const int fd = file.get();
    const std::optional<platform::FileStatus> status = platform::statusOf(fd);
    if (!status || !status->isRegular()) return false;
    const auto size = static_cast<std::size_t>(status->size());

    const std::string_view header = format == OutputFormat::PDF ? kPdfHeader : kPngSignature;
    std::string head, tail;
    if (size < header.size() + kPdfEnd.size() || !platform::readExactlyAt(fd, head, header.size(), 0) ||
        head != header)
        return false;
    if (format == OutputFormat::PNG) {
        return size >= header.size() + kPngEnd.size() &&
               platform::readExactlyAt(fd, tail, kPngEnd.size(), size - kPngEnd.size()) && tail == kPngEnd;
    }
    const std::size_t tailSize = std::min(size, kPdfTail);
    return platform::readExactlyAt(fd, tail, tailSize, size - tailSize) &&
           tail.find(kPdfEnd) != std::string::npos;
}

}  // namespace vorrel
