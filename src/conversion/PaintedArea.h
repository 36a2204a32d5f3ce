#pragma once
// findPaintedArea(guard): where a drawing paints on its first page, as Ghostscript's bbox device
// measures it, white paint included. For a drawing whose converted page came out blank: its
// declared box may miss what it paints, or what it paints may be all white.
//
//  1. a private folder "vorrel-converter-XXXXXX" (0700) in guard.scratchFolder holds the result
//     (the prefix of the converters' own folders, so that a killed process's leftover is swept
//     as theirs are, StaleFiles.h);
//  2. the converter runs under `guard` (ConverterRun.h: a slot, the limits, the confinement, the
//     source staged and expanded), drawing the file with the bbox device on a page kReach
//     points square whose middle is the drawing's origin, white counting as paint;
//  3. the converter itself writes the first page's box into the folder; it is read back in the
//     drawing's points, rounded outwards to a tenth of a point.
// painted is that box, or nothing when the page has no paint at all (or only beyond kReach / 2
// of the origin); declared is the usable box of the file drawn (readDscHeader()). The folder is
// removed on every path. Errors: those of ConverterRun::run().
//
// Thread-safety: a plain function; call it from any thread but the GUI thread (it blocks).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "conversion/ConverterRun.h"
#include "conversion/DscHeader.h"

namespace vorrel {

struct PaintedArea {
    static constexpr double kReach = 28'800;
    static constexpr int kResolution = 720;

    std::optional<BoundingBox> painted;
    std::optional<BoundingBox> declared;

    // The box lies wholly inside `box` (within a point).
    bool within(const BoundingBox& box) const;

    // The converter's arguments for measuring `input` into `outputPath`.
    static std::vector<std::string> arguments(const std::filesystem::path& outputPath,
                                              const std::filesystem::path& input);
    // The box a measuring run wrote, or nothing for an empty one or text that is no box.
    static std::optional<BoundingBox> read(const std::filesystem::path& file);
};

// `guard` gives the converter, limits and scratch folder; its output and arguments are replaced.
PaintedArea findPaintedArea(ConverterRun::Options guard);

}  // namespace vorrel
