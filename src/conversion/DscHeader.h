#pragma once
// DscHeader: the bounding boxes and the media a PostScript file's document structuring comments
// name, read without running the file.
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
//  4. The media, from the same run of comment lines up to the first that opens the preview,
//     prolog, setup, a page or the trailer, or ends the defaults ("%%BeginPreview",
//     "%%BeginProlog", "%%BeginSetup", "%%Page:", "%%Trailer", "%%EndDefaults"), so that a
//     "%%PageMedia:" in the defaults section counts. The first "%%DocumentMedia:" comment,
//     with its "%%+" lines, gives entries "<name> <width> <height> ..." (a name with spaces in
//     parentheses; weight, colour and type are not read); of the first kMediaLimit entries,
//     the one the first "%%PageMedia:" names counts, else the first whose size is usable.
//     The first name of the first "%%DocumentPaperSizes:" is kept as it stands, else that of
//     the first "%%PaperSize:". "(atend)" is not followed for media.
//  5. The orientation, from the same lines: the first "%%PageOrientation:" (in the defaults),
//     else the first "%%Orientation:"; "Landscape" turns the pages 90 degrees clockwise for
//     the viewer, "Seascape" 270.
//
// Memory stays bounded whatever the file holds: it is read through a small buffer, and a line
// keeps at most kLineLimit bytes. Any bytes are safe. Never throws: a file that cannot be read has no boxes.
//
// Thread-safety: a plain function on values; call it from any thread.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

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

// A medium's size in PostScript points.
struct MediaSize {
    double width = 0, height = 0;
    // Both sides within [BoundingBox::kMinimumSide, BoundingBox::kMaximumSide].
    bool isUsable() const;

    friend bool operator==(const MediaSize&, const MediaSize&) = default;
};

struct DscHeader {
    static constexpr std::size_t kHeaderLimit = 16 << 20;
    static constexpr std::size_t kTrailerLimit = 64 << 10;
    static constexpr std::size_t kLineLimit = 1024;
    static constexpr std::size_t kMediaLimit = 64;

    std::optional<BoundingBox> boundingBox;       // %%BoundingBox
    std::optional<BoundingBox> hiResBoundingBox;  // %%HiResBoundingBox
    std::optional<MediaSize> media;               // %%DocumentMedia, %%PageMedia; usable
    std::string paperSize;  // %%DocumentPaperSizes' first name, else %%PaperSize's, or ""
    int turn = 0;           // 0, 90 or 270: the clockwise turn its orientation asks for

    // The box to crop to: the hi-res one when it is usable, else the other when it is usable.
    std::optional<BoundingBox> usableBox() const;
};

DscHeader readDscHeader(const std::filesystem::path& file);

}  // namespace vorrel
