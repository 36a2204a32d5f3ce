#pragma once
// UTIFile: one file listed by the UTI finder, with its type information.
//
// A value type with four fields in this order: the file's name (last path component), the
// type's localized description ("Document" when the type has none), the type identifier
// and the type's filename extensions (in the order the MIME database gives them; empty
// when it has none). Type information comes from shared-mime-info through QMimeDatabase:
// identifier = MIME type name, description = its comment, extensions = its suffixes.
// Equality and std::hash use all four fields.
//
// fromUrl() reads only type information; it never opens the file for writing.
// Thread-safety: values may be used from any thread; call fromUrl() on the GUI thread
// (the "Document" fallback is a translated text).

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <optional>

namespace vorrel::zodadavovov {

struct UTIFile {
    QString name;
    QString description;
    QString identifier;
    QStringList extensions;

    // The record for a local file URL, or nothing when the URL is not a local file, the
    // file's information cannot be read (it does not exist, e.g. it vanished, or is a
    // dangling link) or the MIME database gives it no type.
    static std::optional<UTIFile> fromUrl(const QUrl& url);
    static std::optional<UTIFile> fromPath(const std::filesystem::path& path);

    // "Name: <name>\nKind: <description>\nMIME Type: <identifier>", then
    // "\nExtensions: <list>" when the locale's joining of extensions is not empty.
    // No final line feed.
    QString reportText() const;
    // The extensions as the user's locale joins lists ("eps, epsi and epsf" in English).
    QString extensionsText() const;

    friend bool operator==(const UTIFile&, const UTIFile&) = default;
};

}  // namespace vorrel::zodadavovov

template <>
struct std::hash<vorrel::zodadavovov::UTIFile> {
    std::size_t operator()(const vorrel::zodadavovov::UTIFile& file) const noexcept;
};
