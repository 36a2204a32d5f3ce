#include "vorrel/PreviewVerdict.h"

#include <QCoreApplication>
#include <algorithm>

#include "conversion/ServedTypes.h"
#include "conversion/SourceKind.h"

namespace vorrel {

namespace {

// The texts' translation context.
struct PreviewVerdict {
    Q_DECLARE_TR_FUNCTIONS(vorrel::PreviewVerdict)
};

// The type names an EPS drawing, compressed or not.
bool isEpsType(const QMimeType& type) {
    for (const char* eps : {"image/x-eps", "image/x-gzeps", "image/x-bzeps"})
        if (type.inherits(QLatin1String(eps))) return true;
    return false;
}

}  // namespace

bool isServedType(const QMimeType& type) {
    return std::any_of(
        kServedMimeTypes.begin(), kServedMimeTypes.end(), [&](std::string_view name) {
            return type.inherits(
                QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        });
}

QString previewVerdict(const std::filesystem::path& file, const QMimeType& type) {
    if (!isServedType(type))
        return PreviewVerdict::tr("Vorrel does not preview files of this type.");
    const SourceKind kind = readSourceKind(file);
    const bool compressed = kind.compression != Compression::none;
    if (kind.document)
        return compressed
                   ? PreviewVerdict::tr("Vorrel previews it as a compressed PostScript document.")
                   : PreviewVerdict::tr("Vorrel previews it as a PostScript document.");
    // Neither the type nor the name says EPS: the content decided.
    if (!isEpsType(type) && !nameIsEps(file))
        return PreviewVerdict::tr("Vorrel previews it as an EPS drawing: its content is EPS.");
    return compressed ? PreviewVerdict::tr("Vorrel previews it as a compressed EPS drawing.")
                      : PreviewVerdict::tr("Vorrel previews it as an EPS drawing.");
}

}  // namespace vorrel
