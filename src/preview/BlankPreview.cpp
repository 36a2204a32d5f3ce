#include "preview/BlankPreview.h"

#include <QPdfDocument>
#include <QSizeF>

#include <algorithm>
#include <cmath>

#include "conversion/InkProof.h"

namespace vorrel {

bool drawsNothing(const QImage& image) {
    if (image.isNull()) return false;
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (qAlpha(row[x]) != 0 && (row[x] & 0xffffffu) != 0xffffffu) return false;
        }
    }
    return true;
}

namespace {

// Whether the page, rendered with its longer side at most `side` pixels, is pure white.
bool drawsNothingAt(QPdfDocument& document, int page, QSizeF points, double side) {
    const double scale = std::min(1.0, side / std::max(points.width(), points.height()));
    const QSize size(std::max(1, static_cast<int>(std::ceil(points.width() * scale))),
                     std::max(1, static_cast<int>(std::ceil(points.height() * scale))));
    return drawsNothing(document.render(page, size));
}

}  // namespace

bool drawsNothing(QPdfDocument& document, const std::filesystem::path& file) {
    const int pages = document.pageCount();
    if (pages < 1 || pages > kPagesLooked) return false;
    // Ink its pages' contents prove needs no rendering.
    if (provesInk(file, kLongestSide)) return false;
    for (int page = 0; page < pages; ++page) {
        const QSizeF points = document.pagePointSize(page);
        if (points.isEmpty()) return false;
        // Small first: nearly every page shows its ink there, at a fraction of the cost. Only
        // a page that looks empty small is looked at in full, where a dot too small to cover
        // a pixel of the small rendering shows.
        if (!drawsNothingAt(document, page, points, kFirstLook)) return false;
        if (!drawsNothingAt(document, page, points, kLongestSide)) return false;
    }
    return true;
}

}  // namespace vorrel
