#include "widgets/UTIFile.h"

#include <QFileInfo>
#include <QHashFunctions>
#include <QLocale>
#include <QMimeDatabase>

#include "widgets/LibraryBundle.h"

namespace vorrel::zodadavovov {

std::optional<UTIFile> UTIFile::fromUrl(const QUrl& url, const Verdict& verdict) {
    if (!url.isLocalFile()) return std::nullopt;
    return fromPath(std::filesystem::path(url.toLocalFile().toStdString()), verdict);
}

std::optional<UTIFile> UTIFile::fromPath(const std::filesystem::path& path,
                                         const Verdict& verdict) {
    const QFileInfo info(QString::fromStdString(path.string()));
    // The database would still guess a type from the name alone; a file we cannot stat
    // has no information to report.
    if (!info.exists()) return std::nullopt;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    if (!type.isValid()) return std::nullopt;
    UTIFile file;
    file.name = info.fileName();
    file.identifier = type.name();
    file.description = type.comment();
    if (file.description.isEmpty()) file.description = libraryText(ZV_TEXT("Document"));
    file.extensions = type.suffixes();
    if (verdict) file.verdict = verdict(path, type);
    return file;
}

QString UTIFile::extensionsText() const { return QLocale().createSeparatedList(extensions); }

QString UTIFile::reportText() const {
    QString text = QStringLiteral("Name: ") + name + QStringLiteral("\nKind: ") + description +
                   QStringLiteral("\nMIME Type: ") + identifier;
    const QString joined = extensionsText();
    if (!joined.isEmpty()) text += QStringLiteral("\nExtensions: ") + joined;
    if (!verdict.isEmpty()) text += QStringLiteral("\nPreview: ") + verdict;
    return text;
}

}  // namespace vorrel::zodadavovov

std::size_t std::hash<vorrel::zodadavovov::UTIFile>::operator()(
    const vorrel::zodadavovov::UTIFile& file) const noexcept {
    std::size_t seed = 0;
    seed = qHashMulti(seed, file.name, file.description, file.identifier, file.verdict);
    for (const QString& extension : file.extensions) seed = qHashMulti(seed, extension);
    // The count keeps ["a", ""] apart from ["a"].
    return qHashMulti(seed, file.extensions.size());
}
