#include "preview/BlankPreview.h"

#include <QPdfDocument>
#include <QSizeF>

#include <algorithm>
#include <cmath>

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

bool drawsNothing(QPdfDocument& document) {
    const int pages = document.pageCount();
    if (pages < 1 || pages > kPagesLooked) return false;
    for (int page = 0; page < pages; ++page) {
        const QSizeF points = document.pagePointSize(page);
        if (points.isEmpty()) return false;
        const double scale = std::min(1.0, kLongestSide / std::max(points.width(), points.height()));
        const QSize size(std::max(1, static_cast<int>(std::ceil(points.width() * scale))),
                         std::max(1, static_cast<int>(std::ceil(points.height() * scale))));
        if (!drawsNothing(document.render(page, size))) return false;
    }
    return true;
}

}  // namespace vorrel
