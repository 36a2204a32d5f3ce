#include "preview/FileFacts.h"

#include <QFile>
#include <QPdfDocument>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <system_error>

#include "conversion/Decompression.h"
#include "conversion/SourceKind.h"
#include "platform/FileDescriptor.h"

namespace fs = std::filesystem;

namespace vorrel {

namespace {

std::string readPart(const fs::path& file, std::uint64_t offset, std::size_t length) {
    std::ifstream in(file, std::ios::binary);
    if (!in || !in.seekg(static_cast<std::streamoff>(offset))) return {};
    std::string bytes(length, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
    return bytes;
}

std::uint32_t littleEndian(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// The first kHeaderBytes of the file's PostScript.
std::string postScriptStart(const fs::path& source, Compression compression) {
    if (compression != Compression::none) {
        std::string bytes;
        const platform::FileDescriptor in = platform::openToRead(source);
        if (!in) return {};
        try {
            decompress(in.get(), compression, kHeaderBytes * 2, [&bytes](std::string_view piece) {
                bytes.append(piece.substr(0, kHeaderBytes - bytes.size()));
                return bytes.size() < kHeaderBytes;
            });
        } catch (const std::exception&) {
            // What came out before the fault is kept.
        }
        return bytes;
    }
    std::string start = readPart(source, 0, kHeaderBytes);
    if (start.size() >= 12 && start.starts_with("\xC5\xD0\xD3\xC6"))
        return readPart(source, littleEndian(start, 4),
                        std::min<std::size_t>(littleEndian(start, 8), kHeaderBytes));
    return start;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

void readComments(std::string_view header, quicklook::PreviewFacts& facts) {
    const std::pair<std::string_view, std::string*> keys[] = {
        {"%%Title:", &facts.title},
        {"%%Creator:", &facts.creator},
        {"%%CreationDate:", &facts.creationDate},
        {"%%For:", &facts.forWhom},
        {"%%LanguageLevel:", &facts.languageLevel}};
    std::set<std::string*> found;
    std::size_t at = 0;
    bool first = true;
    while (at < header.size()) {
        auto end = header.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = header.size();
        const std::string_view line = header.substr(at, end - at);
        at = end + 1;
        if (end < header.size() && header[end] == '\r' && at < header.size() && header[at] == '\n')
            ++at;
        if (line.empty()) continue;
        if (!line.starts_with('%') && !first) break;
        first = false;
        if (line.starts_with("%%EndComments")) break;
        for (const auto& [key, value] : keys) {
            if (!line.starts_with(key) || found.contains(value)) continue;
            std::string_view text = trimmed(line.substr(key.size()));
            if (text.size() >= 2 && text.front() == '(' && text.back() == ')')
                text = text.substr(1, text.size() - 2);
            *value = std::string(text);
            found.insert(value);
        }
    }
}

bool isDelimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\0' ||
           c == '/' || c == '<' || c == '>' || c == '[' || c == ']' || c == '(' || c == ')' ||
           c == '{' || c == '}' || c == '%';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The name after `at` (whitespace, then "/Name"), #xx escapes decoded; empty when none.
std::string nameAfter(std::string_view bytes, std::size_t at) {
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    if (at >= bytes.size() || bytes[at] != '/') return {};
    std::string name;
    for (++at; at < bytes.size() && !isDelimiter(bytes[at]) && name.size() < 256; ++at) {
        if (bytes[at] == '#' && at + 2 < bytes.size() && hexValue(bytes[at + 1]) >= 0 &&
            hexValue(bytes[at + 2]) >= 0) {
            name.push_back(static_cast<char>(hexValue(bytes[at + 1]) * 16 + hexValue(bytes[at + 2])));
            at += 2;
        } else {
            name.push_back(bytes[at]);
        }
    }
    return name;
}

std::string withoutSubsetTag(const std::string& name) {
    if (name.size() > 7 && name[6] == '+' &&
        std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; }))
        return name.substr(7);
    return name;
}

}  // namespace

std::vector<quicklook::PreviewFacts::Font> pdfFonts(std::string_view bytes) {
    std::set<std::string> named, embedded;
    for (std::size_t at = bytes.find("/BaseFont"); at != std::string_view::npos;
         at = bytes.find("/BaseFont", at + 1)) {
        const std::string name = nameAfter(bytes, at + 9);
        if (!name.empty()) named.insert(name);
    }
    for (std::size_t at = bytes.find("/FontName"); at != std::string_view::npos;
         at = bytes.find("/FontName", at + 1)) {
        const std::string name = nameAfter(bytes, at + 9);
        // The descriptor's dictionary runs to its object's end.
        const std::size_t end = std::min(bytes.find("endobj", at), bytes.size());
        const std::size_t start = bytes.rfind("obj", at);
        const std::size_t from = start == std::string_view::npos ? 0 : start;
        const std::string_view object = bytes.substr(from, end - from);
        if (!name.empty() && object.find("/FontFile") != std::string_view::npos) embedded.insert(name);
    }
    std::vector<quicklook::PreviewFacts::Font> fonts;
    for (const std::string& name : named)
        fonts.push_back({withoutSubsetTag(name), embedded.contains(name)});
    std::sort(fonts.begin(), fonts.end(),
              [](const auto& a, const auto& b) { return a.name < b.name || (a.name == b.name && a.embedded < b.embedded); });
    fonts.erase(std::unique(fonts.begin(), fonts.end()), fonts.end());
    return fonts;
}

quicklook::PreviewFacts readFileFacts(const fs::path& source, const fs::path& pdf) {
    quicklook::PreviewFacts facts;
    std::error_code error;
    facts.bytes = fs::file_size(source, error);
    if (error) facts.bytes = 0;
    const SourceKind kind = readSourceKind(source);
    facts.document = kind.document;
    facts.compression = kind.compression == Compression::gzip    ? "gzip"
                        : kind.compression == Compression::bzip2 ? "bzip2"
                                                                 : "";
    readComments(postScriptStart(source, kind.compression), facts);

    QPdfDocument document;
    if (document.load(QFile::decodeName(pdf.c_str())) == QPdfDocument::Error::None) {
        facts.pages = document.pageCount();
        if (facts.pages > 0) {
            const QSizeF size = document.pagePointSize(0);
            facts.widthPoints = size.width();
            facts.heightPoints = size.height();
        }
    }
    facts.fonts = pdfFonts(readPart(pdf, 0, kPdfBytes));
    return facts;
}

}  // namespace vorrel
