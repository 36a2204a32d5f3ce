#pragma once
// The size a converted PNG is shown at: one point of the drawing to one device-independent
// pixel, so a drawing opens at the same size as its PDF would.
//
// The resolution comes from the file's physical-size chunk (pHYs; Ghostscript records the
// resolution it rendered at), read from the file because Qt reports its screen's default
// resolution for a PNG that has none.
//
// Thread-safety: any thread.

#include <QPointF>
#include <QSize>
#include <QSizeF>

#include <filesystem>
#include <optional>

namespace vorrel {

// The resolution in dots per inch (x, y) in a PNG file's pHYs chunk, or nothing when the file
// has none, gives it without a unit, or is no PNG.
std::optional<QPointF> pngDotsPerInch(const std::filesystem::path& file);

// pixels × 72 / dots per inch; without a resolution one pixel counts as one point.
QSizeF imageSizeInPoints(QSize pixels, std::optional<QPointF> dotsPerInch);

}  // namespace vorrel
