#pragma once
// UTIFile: one file listed by the UTI finder, with its type information.
//
// A value type with five fields in this order: the file's name (last path component), the
// type's localized description ("Document" when the type has none), the type identifier,
// the type's filename extensions (in the order the MIME database gives them; empty when it
// has none) and the application's verdict on the file (what a Verdict said; empty without
// one). Type information comes from shared-mime-info through QMimeDatabase: identifier =
// MIME type name, description = its comment, extensions = its suffixes.
// Equality and std::hash use all five fields.
//
// fromUrl() reads only type information; it never opens the file for writing.
// Thread-safety: values may be used from any thread; call fromUrl() on the GUI thread
// (the "Document" fallback is a translated text).

#include <QList>
#include <QMimeType>
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
    QString verdict;

    // What the application makes of a file of that type, in a sentence for the user (for
    // example whether it previews it), or an empty text to say nothing. It may read the file;
    // it must not change it.
    using Verdict =
        std::function<QString(const std::filesystem::path& file, const QMimeType& type)>;

    // The record for a local file URL, or nothing when the URL is not a local file, the
    // file's information cannot be read (it does not exist, e.g. it vanished, or is a
    // dangling link) or the MIME database gives it no type. `verdict`, when set, fills in
    // the verdict field.
    static std::optional<UTIFile> fromUrl(const QUrl& url, const Verdict& verdict = {});
    static std::optional<UTIFile> fromPath(const std::filesystem::path& path,
                                           const Verdict& verdict = {});

    // "Name: <name>\nKind: <description>\nMIME Type: <identifier>", then
    // "\nExtensions: <list>" when the locale's joining of extensions is not empty, then
    // "\nPreview: <verdict>" when there is a verdict. No final line feed.
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
