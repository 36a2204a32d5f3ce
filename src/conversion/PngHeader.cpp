#include "conversion/PngHeader.h"

#include <algorithm>
#include <string_view>

namespace vorrel {

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
constexpr double kInchesPerMeter = 0.0254;

std::uint32_t bigEndian(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

}  // namespace

PngReader::PngReader(const std::filesystem::path& file) : in_(file, std::ios::binary) {
    in_.seekg(0, std::ios::end);
    fileSize_ = in_.tellg();
    in_.seekg(0);
    unsigned char head[8 + 8 + 13 + 4];  // signature, IHDR's length and type, data, CRC
    if (!in_.read(reinterpret_cast<char*>(head), sizeof head) ||
        std::string_view(reinterpret_cast<char*>(head), 8) != kSignature ||
        bigEndian(head + 8) != 13 || std::string_view(reinterpret_cast<char*>(head + 12), 4) != "IHDR")
        return;
    PngHeader header;
    header.width = bigEndian(head + 16);
    header.height = bigEndian(head + 20);
    header.bitDepth = head[24];
    header.colourType = head[25];
    header.interlaced = head[28] != 0;
    if (header.width == 0 || header.height == 0) return;
    while (nextChunk()) {
        const std::string_view type(type_, 4);
        if (type == "IDAT" || type == "IEND") break;
        if (type == "pHYs" && length_ == 9) {
            unsigned char data[9 + 4];
            pending_ = false;
            if (!in_.read(reinterpret_cast<char*>(data), sizeof data)) break;
            const std::uint32_t x = bigEndian(data), y = bigEndian(data + 4);
            if (data[8] == 1 && x != 0 && y != 0)
                header.dotsPerInch = PngHeader::Resolution{x * kInchesPerMeter, y * kInchesPerMeter};
            continue;
        }
        if (!skipChunk()) break;
    }
    header_ = header;
}

bool PngReader::nextChunk() {
    unsigned char head[8];
    if (broken_ || !in_.read(reinterpret_cast<char*>(head), sizeof head)) {
        broken_ = true;
        return false;
    }
    length_ = bigEndian(head);
    std::copy(head + 4, head + 8, type_);
    pending_ = true;
    // A length the file cannot hold (with the CRC) is damage, not a reason to allocate it.
    const std::streamoff left = fileSize_ - in_.tellg();
    broken_ = length_ > kChunkLimit || left < std::streamoff{length_} + 4;
    return !broken_;
}

bool PngReader::skipChunk() {
    pending_ = false;
    broken_ = !in_.seekg(std::streamoff{length_} + 4, std::ios::cur);  // the data and the CRC
    return !broken_;
}

bool PngReader::nextImageData(std::vector<unsigned char>& data) {
    if (!header_) return false;
    for (;;) {
        if (broken_ || (!pending_ && !nextChunk())) return false;
        const std::string_view type(type_, 4);
        if (type == "IEND") return false;  // stays pending: later calls end here too
        if (type != "IDAT") {
            if (!skipChunk()) return false;
            continue;
        }
        data.resize(length_);
        pending_ = false;
        broken_ = !in_.read(reinterpret_cast<char*>(data.data()), length_) ||
                  !in_.seekg(4, std::ios::cur);
        return !broken_;
    }
}

std::optional<PngHeader> readPngHeader(const std::filesystem::path& file) {
    return PngReader(file).header();
}

}  // namespace vorrel
