#pragma once
// DscHeader: the bounding boxes an EPS file's document structuring comments name, read without
// running the file.
//
// readDscHeader(file):
//  1. The PostScript section: the whole file, or for a DOS-binary EPS (first bytes C5 D0 D3 C6)
//     the part its binary header names (offset and length, little-endian, at bytes 4 and 8).
//     A binary header cut short, or a section that starts outside the file, gives no boxes.
//  2. The header: the section's lines (ended by LF, CR or CR LF) for as long as they are
//     comments ("%...") or blank, within its first kHeaderLimit bytes. Comments before the
//     "%!PS-Adobe-... EPSF-..." line and plain comments or %%BeginDocument between it and the
//     box are passed over. The first "%%BoundingBox:" and the first "%%HiResBoundingBox:" count;
//     numbers that run on in "%%+" lines belong to them.
//  3. A box given as "(atend)" is taken from the last kTrailerLimit bytes of the section: the
//     last one after the last "%%Trailer" line, or else the last one anywhere there (some
//     writers put it just before "%%Trailer").
// A box is the first four numbers after the keyword (integers or reals: "-40", "0.5", "1e2");
// anything else before the fourth number makes it no box.
//
// Memory stays bounded whatever the file holds: it is read through a small buffer, and a line
// keeps at most kLineLimit bytes. Any bytes are safe. Never throws: a file that cannot be read has no boxes.
//
// Thread-safety: a plain function on values; call it from any thread.

#include <cstddef>
#include <filesystem>
#include <optional>

namespace vorrel {

// A box in PostScript points: lower-left (llx, lly), upper-right (urx, ury).
struct BoundingBox {
    double llx = 0, lly = 0, urx = 0, ury = 0;

    // Limits of a box a preview can be cropped to: a side below a point renders to no pixels,
    // 14,400 points is the largest side a PDF page may have, and coordinates beyond a million
    // points are no drawing's.
    static constexpr double kMinimumSide = 1;
    static constexpr double kMaximumSide = 14'400;
    static constexpr double kCoordinateLimit = 1'000'000;

    double width() const { return urx - llx; }
    double height() const { return ury - lly; }
    // Both sides within [kMinimumSide, kMaximumSide], every coordinate within the limit.
    bool isUsable() const;

    friend bool operator==(const BoundingBox&, const BoundingBox&) = default;
};

struct DscHeader {
    static constexpr std::size_t kHeaderLimit = 16 << 20;
    static constexpr std::size_t kTrailerLimit = 64 << 10;
    static constexpr std::size_t kLineLimit = 1024;

    std::optional<BoundingBox> boundingBox;       // %%BoundingBox
    std::optional<BoundingBox> hiResBoundingBox;  // %%HiResBoundingBox

    // The box to crop to: the hi-res one when it is usable, else the other when it is usable.
    std::optional<BoundingBox> usableBox() const;
};

DscHeader readDscHeader(const std::filesystem::path& file);

}  // namespace vorrel
