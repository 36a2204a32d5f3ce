#include "preview/PreviewExport.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPdfDocument>
#include <QSaveFile>

#include <cmath>
#include <system_error>

namespace fs = std::filesystem;

namespace vorrel {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("vorrel::PreviewExport", text); }

QString nameOf(const fs::path& path) { return QFile::decodeName(path.c_str()); }

// Writes what `fill` puts into the file through QSaveFile: a temporary file beside the
// destination, synced and renamed over it on commit, removed on failure.
template <typename Fill>
QString saveWhole(const fs::path& destination, Fill fill) {
    QSaveFile file(nameOf(destination));
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return tr("Could not write %1: %2").arg(nameOf(destination), file.errorString());
    if (!fill(file)) {
        file.cancelWriting();
        file.commit();
        return tr("Could not write %1: %2").arg(nameOf(destination), file.errorString());
    }
    if (!file.commit())
        return tr("Could not write %1: %2").arg(nameOf(destination), file.errorString());
    return {};
}

QImage renderFirstPage(const fs::path& pdf, int dotsPerInch, bool transparent, QString* error) {
    QPdfDocument document;
    if (document.load(nameOf(pdf)) != QPdfDocument::Error::None || document.pageCount() < 1) {
        *error = tr("The converted file could not be read.");
        return {};
    }
    const QSizeF points = document.pagePointSize(0);
    const double scale = dotsPerInch / 72.0;
    const QSize pixels(std::max(1, static_cast<int>(std::lround(points.width() * scale))),
                       std::max(1, static_cast<int>(std::lround(points.height() * scale))));
    if (static_cast<std::int64_t>(pixels.width()) * pixels.height() > kMaximumExportPixels) {
        *error = tr("At %1 dpi the image would be too large; choose a lower resolution.")
                     .arg(dotsPerInch);
        return {};
    }
    QImage page = document.render(0, pixels);
    if (page.isNull()) {
        *error = tr("The converted file could not be read.");
        return {};
    }
    QImage image(pixels, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(transparent ? Qt::transparent : Qt::white);
    {
        QPainter painter(&image);
        painter.drawImage(0, 0, page);
    }
    const int dotsPerMetre = static_cast<int>(std::lround(dotsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

}  // namespace

QString writeExport(const fs::path& pdf, const fs::path& source,
                    const quicklook::ExportRequest& request) {
    const fs::path& destination = request.destination;
    std::error_code error;
    if (destination.empty() || fs::is_directory(destination, error))
        return tr("%1 is a folder; give the name of a file.").arg(nameOf(destination));
    if (fs::equivalent(destination, source, error) || destination == source)
        return tr("%1 is the file previewed; it is never written over.").arg(nameOf(destination));
    if (request.format == quicklook::ExportRequest::Format::PDF) {
        QFile input(nameOf(pdf));
        if (!input.open(QIODevice::ReadOnly)) return tr("The converted file could not be read.");
        return saveWhole(destination, [&input](QSaveFile& file) {
            char buffer[64 * 1024];
            for (qint64 got; (got = input.read(buffer, sizeof buffer)) > 0;)
                if (file.write(buffer, got) != got) return false;
            return input.atEnd();
        });
    }
    if (request.dotsPerInch < quicklook::ExportRequest::kMinimumDotsPerInch ||
        request.dotsPerInch > quicklook::ExportRequest::kMaximumDotsPerInch)
        return tr("The resolution must be between %1 and %2 dpi.")
            .arg(quicklook::ExportRequest::kMinimumDotsPerInch)
            .arg(quicklook::ExportRequest::kMaximumDotsPerInch);
    QString failure;
    const QImage image = renderFirstPage(pdf, request.dotsPerInch, request.transparent, &failure);
    if (image.isNull()) return failure;
    return saveWhole(destination, [&image](QSaveFile& file) {
        QImageWriter writer(&file, "png");
        return writer.write(image);
    });
}

}  // namespace vorrel
