#include "preview/PngImage.h"

#include <QFile>
#include <QImageReader>

#include "conversion/PngHeader.h"

namespace vorrel {

PngImage readPngImage(const std::filesystem::path& file, std::optional<QPointF> dotsPerInch) {
    PngImage png;
    png.image = QImageReader(QFile::decodeName(file.c_str())).read();
    if (png.image.isNull()) return png;
    png.points = imageSizeInPoints(png.image.size(), dotsPerInch ? dotsPerInch : pngDotsPerInch(file));
    return png;
}

std::optional<QPointF> pngDotsPerInch(const std::filesystem::path& file) {
    const auto header = readPngHeader(file);
    if (!header || !header->dotsPerInch) return std::nullopt;
    return QPointF(header->dotsPerInch->x, header->dotsPerInch->y);
}

QSizeF imageSizeInPoints(QSize pixels, std::optional<QPointF> dotsPerInch) {
    if (!dotsPerInch) return QSizeF(pixels);
    return {pixels.width() * 72.0 / dotsPerInch->x(), pixels.height() * 72.0 / dotsPerInch->y()};
}

}  // namespace vorrel
