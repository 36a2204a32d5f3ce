#include "conversion/SourceKind.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <exception>
#include <string>

#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"

namespace vorrel {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isDigitOrDot(char c) { return (c >= '0' && c <= '9') || c == '.'; }

// "<prefix><version>" at the start of `text`; returns what follows the version.
bool skipVersioned(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return false;
    text.remove_prefix(prefix.size());
    const auto end = std::find_if_not(text.begin(), text.end(), isDigitOrDot);
    if (end == text.begin()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.begin()));
    return true;
}

// The first bytes of the file, expanded when it is compressed.
std::string contentStart(int fd, Compression compression, std::string_view firstBytes) {
    if (compression == Compression::none) return std::string(firstBytes);
    std::string start;
    if (!platform::rewind(fd)) return start;
    try {
        decompress(fd, compression, kDecompressedSizeCap, [&start](std::string_view bytes) {
            start.append(bytes.substr(0, SourceKind::kPeekBytes - start.size()));
            return start.size() < SourceKind::kPeekBytes;
        });
    } catch (const std::exception&) {
        // What came out before the fault still tells the kind; the conversion reports it.
    }
    return start;
}

}  // namespace

bool contentIsEps(std::string_view start) {
    if (start.starts_with("\xC5\xD0\xD3\xC6")) return true;
    std::string_view line = start.substr(0, start.find_first_of("\r\n"));
    if (!skipVersioned(line, "%!PS-Adobe-")) return false;
    if (line.empty() || (line.front() != ' ' && line.front() != '\t')) return false;
    line.remove_prefix(line.find_first_not_of(" \t"));
    return skipVersioned(line, "EPSF-");
}

bool nameIsEps(const std::filesystem::path& file) {
    std::string name = lowerCase(file.filename().string());
    for (const char* compressed : {".gz", ".bz2"})
        if (name.ends_with(compressed)) {
            name.resize(name.size() - std::string_view(compressed).size());
            break;
        }
    return name.ends_with(".eps") || name.ends_with(".epsi") || name.ends_with(".epsf");
}

SourceKind readSourceKind(const std::filesystem::path& file) {
    SourceKind kind;
    const bool epsByName = nameIsEps(file);
    kind.document = !epsByName;
    const platform::FileDescriptor fd = platform::openToRead(file, {.nonBlocking = true});
    if (!fd) return kind;
    char buffer[SourceKind::kPeekBytes];
    long got = 0;
    if (const auto status = platform::statusOf(fd.get()); status && status->isRegular())
        got = platform::readSome(fd.get(), buffer, sizeof buffer);
    const std::string_view firstBytes(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    kind.compression = compressionOf(firstBytes);
    kind.document = !epsByName && !contentIsEps(contentStart(fd.get(), kind.compression, firstBytes));
    return kind;
}

}  // namespace vorrel
