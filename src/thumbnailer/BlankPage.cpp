#include "thumbnailer/BlankPage.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "conversion/PngHeader.h"

namespace vorrel {

namespace {

// Larger than any row of the largest thumbnail (4096 pixels of 3 bytes).
constexpr std::uint32_t kRowLimit = 1 << 20;

unsigned char paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up),
              toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) return static_cast<unsigned char>(left);
    return static_cast<unsigned char>(toUp <= toUpLeft ? up : upLeft);
}

// Undoes a row's filter in place: `row` starts with the filter byte, `previous` is the row
// above, unfiltered (all zero above the first). False for an unknown filter.
bool unfilter(std::vector<unsigned char>& row, const std::vector<unsigned char>& previous,
              std::size_t pixelBytes) {
    const int filter = row[0];
    for (std::size_t i = 1; i < row.size(); ++i) {
        const int left = i > pixelBytes ? row[i - pixelBytes] : 0;
        const int up = previous[i];
        const int upLeft = i > pixelBytes ? previous[i - pixelBytes] : 0;
        switch (filter) {
            case 0: break;
            case 1: row[i] = static_cast<unsigned char>(row[i] + left); break;
            case 2: row[i] = static_cast<unsigned char>(row[i] + up); break;
            case 3: row[i] = static_cast<unsigned char>(row[i] + (left + up) / 2); break;
            case 4: row[i] = static_cast<unsigned char>(row[i] + paeth(left, up, upLeft)); break;
            default: return false;
        }
    }
    return true;
}

class Inflater {
public:
    Inflater() { ok_ = inflateInit(&stream_) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream& stream() { return stream_; }
    bool ok() const { return ok_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

}  // namespace

bool isBlankPage(const std::filesystem::path& png) {
    PngReader reader(png);
    if (!reader.header()) return false;
    const std::uint32_t width = reader.header()->width, height = reader.header()->height;
    const int depth = reader.header()->bitDepth, colour = reader.header()->colourType;
    if (depth != 8 || (colour != 2 && colour != 0) || reader.header()->interlaced) return false;
    const std::size_t pixelBytes = colour == 2 ? 3 : 1;
    if (width > kRowLimit / pixelBytes) return false;

    Inflater inflater;
    if (!inflater.ok()) return false;
    z_stream& stream = inflater.stream();
    std::vector<unsigned char> previous(1 + width * pixelBytes, 0), row(previous.size());
    std::vector<unsigned char> chunk;
    std::uint32_t rows = 0;
    std::size_t filled = 0;
    while (rows < height) {
        if (!reader.nextImageData(chunk)) return false;
        stream.next_in = chunk.data();
        stream.avail_in = static_cast<uInt>(chunk.size());
        // Inflate may hold output back once the chunk's bytes are used up (a long repeat of
        // the white page): rows are taken for as long as it fills them.
        while (rows < height) {
            stream.next_out = row.data() + filled;
            stream.avail_out = static_cast<uInt>(row.size() - filled);
            const int status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return false;
            filled = row.size() - stream.avail_out;
            if (filled < row.size()) {
                if (status == Z_STREAM_END) return false;  // fewer rows than the header says
                break;                                     // the next chunk's bytes are needed
            }
            if (!unfilter(row, previous, pixelBytes)) return false;
            if (std::any_of(row.begin() + 1, row.end(), [](unsigned char v) { return v != 255; }))
                return false;
            std::swap(row, previous);
            filled = 0;
            ++rows;
        }
    }
    return true;
}

}  // namespace vorrel
