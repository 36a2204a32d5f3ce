#include "preview/PngImage.h"

#include <cstdint>
#include <fstream>
#include <string_view>

namespace vorrel {

std::optional<QPointF> pngDotsPerInch(const std::filesystem::path& file) {
    constexpr double kInchesPerMeter = 0.0254;
    std::ifstream in(file, std::ios::binary);
    char signature[8];
    if (!in.read(signature, sizeof signature) ||
        std::string_view(signature, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
        return std::nullopt;
    const auto bigEndian = [](const unsigned char* bytes) {
        return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
               (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
    };
    // pHYs, when present, comes before the image data.
    unsigned char header[8];
    while (in.read(reinterpret_cast<char*>(header), sizeof header)) {
        const std::uint32_t length = bigEndian(header);
        const std::string_view type(reinterpret_cast<const char*>(header + 4), 4);
        if (type == "IDAT" || type == "IEND") break;
        if (type == "pHYs" && length == 9) {
            unsigned char data[9];
            if (!in.read(reinterpret_cast<char*>(data), sizeof data)) break;
            const std::uint32_t x = bigEndian(data);
            const std::uint32_t y = bigEndian(data + 4);
            if (data[8] != 1 || x == 0 || y == 0) break;  // unit 1 is the metre
            return QPointF(x * kInchesPerMeter, y * kInchesPerMeter);
        }
        if (!in.seekg(std::streamoff{length} + 4, std::ios::cur)) break;  // data and CRC
    }
    return std::nullopt;
}

QSizeF imageSizeInPoints(QSize pixels, std::optional<QPointF> dotsPerInch) {
    if (!dotsPerInch) return QSizeF(pixels);
    return {pixels.width() * 72.0 / dotsPerInch->x(), pixels.height() * 72.0 / dotsPerInch->y()};
}

}  // namespace vorrel
