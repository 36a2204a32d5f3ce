// The PNG reader against files Qt's PNG writer makes, and the same files damaged by hand.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QImage>
#include <QRandomGenerator>

#include <optional>
#include <string>

#include "conversion/PngHeader.h"
#include "support/TempHome.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;

std::string pngBytes(const QImage& image, const fs::path& scratch) {
    EXPECT_TRUE(image.save(QString::fromStdString(scratch.string()), "PNG"));
    return test::readFile(scratch);
}

// The bytes with the chunk of `type` (length, type, data, CRC) taken out.
std::string withoutChunk(std::string bytes, const char* type) {
    const auto at = bytes.find(type);
    if (at == std::string::npos) return bytes;
    const auto length = static_cast<unsigned char>(bytes[at - 1]);  // every chunk cut is short
    return bytes.erase(at - 4, 4 + 4 + length + 4);
}

QImage picture(int width, int height, QImage::Format format, int dotsPerMeter) {
    QImage image(width, height, format);
    image.fill(Qt::white);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

TEST(PngHeader, ReadsTheSizeTypeAndResolutionOrRefusesTheFile) {
    test::TempHome home;
    const fs::path scratch = home.root() / "scratch.png";
    const std::string rgba = pngBytes(picture(30, 20, QImage::Format_ARGB32, 5669), scratch);
    const std::string grey = pngBytes(picture(7, 9, QImage::Format_Grayscale8, 7874), scratch);
    std::string unitless = rgba;
    unitless[unitless.find("pHYs") + 4 + 8] = 0;  // unit 0: an aspect ratio, no resolution
    std::string zeroWidth = rgba;
    zeroWidth.replace(16, 4, std::string(4, '\0'));
    std::string wrongFirst = rgba;
    wrongFirst.replace(12, 4, "IHDX");

    struct Case {
        const char* name;
        std::string bytes;
        bool png;
        std::uint32_t width, height;
        int colourType;
        std::optional<double> dotsPerInch;
    } cases[] = {
        {"RGBA at 144 dpi", rgba, true, 30, 20, 6, 5669 * 0.0254},
        {"grey at 200 dpi", grey, true, 7, 9, 0, 7874 * 0.0254},
        {"no pHYs", withoutChunk(rgba, "pHYs"), true, 30, 20, 6, std::nullopt},
        {"pHYs without a unit", unitless, true, 30, 20, 6, std::nullopt},
        {"no PNG", "not a png at all, but long enough to hold a header", false, 0, 0, 0, {}},
        {"only the signature", rgba.substr(0, 8), false, 0, 0, 0, {}},
        {"IHDR cut short", rgba.substr(0, 24), false, 0, 0, 0, {}},
        {"IHDR not first", wrongFirst, false, 0, 0, 0, {}},
        {"zero width", zeroWidth, false, 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto header = readPngHeader(home.write("case.png", c.bytes));
        ASSERT_EQ(header.has_value(), c.png);
        if (!header) continue;
        EXPECT_EQ(header->width, c.width);
        EXPECT_EQ(header->height, c.height);
        EXPECT_EQ(header->bitDepth, 8);
        EXPECT_EQ(header->colourType, c.colourType);
        EXPECT_FALSE(header->interlaced);
        ASSERT_EQ(header->dotsPerInch.has_value(), c.dotsPerInch.has_value());
        if (c.dotsPerInch) {
            EXPECT_NEAR(header->dotsPerInch->x, *c.dotsPerInch, 1e-9);
            EXPECT_NEAR(header->dotsPerInch->y, *c.dotsPerInch, 1e-9);
        }
    }
    EXPECT_FALSE(readPngHeader(home.root() / "missing.png"));
}

// Noise does not compress, so the writer splits it over several IDAT chunks: together they
// inflate to every filtered row, and the reader stops at IEND.
TEST(PngHeader, ImageDataComesWholeAcrossChunks) {
    test::TempHome home;
    QImage noise(300, 200, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, random.generate() | 0xff000000u);
    const fs::path file = home.root() / "noise.png";
    const std::string bytes = pngBytes(noise, file);

    PngReader reader(file);
    ASSERT_TRUE(reader.header());
    EXPECT_EQ(reader.header()->colourType, 2);
    std::string compressed;
    std::vector<unsigned char> chunk;
    int chunks = 0;
    while (reader.nextImageData(chunk)) {
        compressed.append(chunk.begin(), chunk.end());
        ++chunks;
    }
    EXPECT_GT(chunks, 1);
    EXPECT_FALSE(reader.nextImageData(chunk));  // and stays at the end

    std::string rows(200 * (1 + 300 * 3) + 1, '\0');
    uLongf size = rows.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                         reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()),
              Z_OK);
    EXPECT_EQ(size, 200u * (1 + 300 * 3));

    // A chunk claiming more than the limit, or more than the file holds, ends the data; nothing
    // is allocated for it.
    for (const char* length : {"\x7f\xff\xff\xff", "\x10\x00\x00\x00"}) {
        std::string damaged = bytes;
        damaged.replace(damaged.find("IDAT") - 4, 4, length, 4);
        PngReader cut(home.write("damaged.png", damaged));
        ASSERT_TRUE(cut.header());
        chunk.clear();
        EXPECT_FALSE(cut.nextImageData(chunk));
        EXPECT_TRUE(chunk.empty());
    }
}

}  // namespace
}  // namespace vorrel
