#pragma once
// Reading a converted PNG for the preview: its pixels, and the size it is shown at, one point
// of the drawing to one device-independent pixel, so a drawing opens at the same size as its
// PDF would.
//
// The resolution comes from the file's physical-size chunk (readPngHeader(); Ghostscript
// records the resolution it rendered at), because Qt reports its screen's default resolution
// for a PNG that has none.
//
// Thread-safety: any thread.

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QSizeF>

#include <filesystem>
#include <optional>

namespace vorrel {

struct PngImage {
    QImage image;  // null when the file cannot be read
    QSizeF points;
};

// The picture in `file`, sized for `dotsPerInch`, else for the resolution the file records.
PngImage readPngImage(const std::filesystem::path& file,
                      std::optional<QPointF> dotsPerInch = std::nullopt);

// The resolution in dots per inch (x, y) in a PNG file's pHYs chunk, or nothing when the file
// has none, gives it without a unit, or is no PNG.
std::optional<QPointF> pngDotsPerInch(const std::filesystem::path& file);

// pixels × 72 / dots per inch; without a resolution one pixel counts as one point.
QSizeF imageSizeInPoints(QSize pixels, std::optional<QPointF> dotsPerInch);

}  // namespace vorrel
