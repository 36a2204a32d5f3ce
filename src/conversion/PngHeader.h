#pragma once
// Reading the PNG files the converter writes, without decoding them: what the header chunks
// say of the picture, and the compressed image data chunk by chunk.
//
// PngReader(file):
//   1. checks the signature and that the first chunk is a 13-byte IHDR; header() is nothing
//      when either is missing, or the width or height is 0;
//   2. reads the chunks before the first IDAT, taking the resolution of a pHYs chunk whose
//      unit is the metre (unit 0 gives only an aspect ratio, and counts as none);
//   3. nextImageData() then hands out the data of each IDAT chunk in order, skipping other
//      chunks, until IEND, the end of the file, or a chunk longer than kChunkLimit or than what
//      the file still holds.
// CRCs are not checked: the files come whole from the converter (isWholeConvertedFile()).
//
// Thread-safety: a reader is used by one thread; readPngHeader() from any thread.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace vorrel {

struct PngHeader {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0;
    int colourType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    bool interlaced = false;
    struct Resolution {
        double x, y;  // dots per inch
    };
    std::optional<Resolution> dotsPerInch;  // from pHYs
};

class PngReader {
public:
    static constexpr std::uint32_t kChunkLimit = 1u << 30;

    explicit PngReader(const std::filesystem::path& file);

    const std::optional<PngHeader>& header() const { return header_; }
    // The next IDAT chunk's data into `data`; false when there is none.
    bool nextImageData(std::vector<unsigned char>& data);

private:
    // Reads the next chunk's length and type; false at the end of the file or a damaged one.
    bool nextChunk();
    bool skipChunk();

    std::ifstream in_;
    std::streamoff fileSize_ = 0;
    std::optional<PngHeader> header_;
    std::uint32_t length_ = 0;  // of the chunk whose type was read last
    char type_[4] = {};
    bool pending_ = false;  // that chunk's data has not been read or skipped
    bool broken_ = false;   // a short read or an oversized chunk: nothing more is read
};

// PngReader(file).header().
std::optional<PngHeader> readPngHeader(const std::filesystem::path& file);

}  // namespace vorrel
