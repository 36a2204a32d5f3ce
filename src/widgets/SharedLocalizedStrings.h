#pragma once
// SharedLocalizedStrings: texts the maker's applications share.
//
// otherApp() is a Markdown link that names another application of the maker with a short
// description and leads to its store page (maker::otherAppStorePage). It is translated
// once, on first use, in the locale of that moment, and kept for the life of the process.
//
// Thread-safety: GUI thread only.

#include <QString>

namespace vorrel::zodadavovov::sharedstrings {

const QString& otherApp();

}  // namespace vorrel::zodadavovov::sharedstrings
