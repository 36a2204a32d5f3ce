#include "platform/desktop/ThumbnailerEntries.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <optional>

namespace vorrel::platform {

namespace {

constexpr const char* kGroup = "[Thumbnailer Entry]";

// The keys of the [Thumbnailer Entry] group; other groups and comments are passed over.
std::optional<ThumbnailerEntry> read(const QString& path) {
    QFile file(path);
    if (file.size() > (1 << 20) || !file.open(QIODevice::ReadOnly)) return std::nullopt;
    ThumbnailerEntry entry{.file = path};
    bool inGroup = false, found = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[')) {
            inGroup = line == QLatin1String(kGroup);
            found = found || inGroup;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGroup || line.startsWith('#') || equals < 0) continue;
        const QString key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("TryExec")) entry.tryExec = value;
        if (key == QLatin1String("Exec")) entry.exec = value;
        if (key == QLatin1String("MimeType")) entry.mimeTypes = value.split(';', Qt::SkipEmptyParts);
    }
    if (!found) return std::nullopt;
    return entry;
}

}  // namespace

QStringList ThumbnailerEntries::folders() {
    QStringList list;
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        list << QDir(data).filePath(QStringLiteral("thumbnailers"));
    list.removeDuplicates();
    return list;
}

QList<ThumbnailerEntry> ThumbnailerEntries::installed() {
    QList<ThumbnailerEntry> entries;
    QSet<QString> names;
    for (const QString& folder : folders()) {
        const QDir dir(folder);
        for (const QString& name :
             dir.entryList({QStringLiteral("*.thumbnailer")}, QDir::Files | QDir::Readable, QDir::Name)) {
            if (names.contains(name)) continue;
            names.insert(name);
            if (auto entry = read(dir.filePath(name))) entries << *entry;
        }
    }
    return entries;
}

QString ThumbnailerEntries::userEntryPath(const QString& name) {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("thumbnailers/") + name + QStringLiteral(".thumbnailer"));
}

bool ThumbnailerEntries::writeUserEntry(const QString& name, const ThumbnailerEntry& entry) {
    const QString path = userEntryPath(name);
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QString text = QStringLiteral("%1\nTryExec=%2\nExec=%3\nMimeType=%4;\n")
                       .arg(QLatin1String(kGroup), entry.tryExec, entry.exec,
                            entry.mimeTypes.join(';'));
    file.write(text.toUtf8());
    return file.commit();
}

bool ThumbnailerEntries::removeUserEntry(const QString& name) {
    QFile file(userEntryPath(name));
    return !file.exists() || file.remove();
}

}  // namespace vorrel::platform
