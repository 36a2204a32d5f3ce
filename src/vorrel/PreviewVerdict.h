#pragma once
// previewVerdict(): whether Vorrel previews a file, as the MIME Type Finder says it
// (zodadavovov::UTIFile::Verdict).
//
// A file is previewed when its MIME type is, or is a kind of, one of kServedMimeTypes
// (ServedTypes.h), as vorrel-quicklook chooses its preview extension. What it is previewed as
// is then the conversion's own decision (readSourceKind(), SourceKind.h): an EPS drawing or
// a PostScript document, compressed or not, the content winning over the name. So a ".ps"
// that is EPS inside is previewed as EPS, and the text says why.
//
// Thread-safety: GUI thread (the texts are translated).

#include <QMimeType>
#include <QString>
#include <filesystem>

namespace vorrel {

// True when `type` is, or inherits, a served MIME type.
bool isServedType(const QMimeType& type);

QString previewVerdict(const std::filesystem::path& file, const QMimeType& type);

}  // namespace vorrel
