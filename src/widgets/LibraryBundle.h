#pragma once
// LibraryBundle: the library's own resources and translation catalogue.
//
// The library's texts are looked up in its own catalogue, embedded in the program as Qt
// resources under ":/zodadavovov" (translations in ":/zodadavovov/i18n", fallback icons
// in ":/zodadavovov/icons"). The English text is the key.
//
// What happens on the first libraryText() call of a process:
//   1. Check that the embedded resource folder ":/zodadavovov" is present. It is linked
//      into every program that links the library, so its absence is a broken build: the
//      process stops with "unable to find bundle named ZodadaVovov_ZodadaVovov".
//   2. Load the catalogue for the current locale (QLocale()), if the library has one for
//      it, and install it into the application. English needs none.
//   3. The outcome is kept for the life of the process; later locale changes are not seen.
//
// Thread-safety: GUI thread only (QCoreApplication must exist).

#include <QString>

namespace vorrel::zodadavovov {

// Translation context of every library text in the catalogue.
inline constexpr char libraryContext[] = "ZodadaVovov";

// The library text for an English key, in the current locale.
QString libraryText(const char* key);

// The resource folder of the library (":/zodadavovov"); loads the bundle on first use.
QString libraryResourceRoot();

}  // namespace vorrel::zodadavovov

// Marks a key for the catalogue tools without translating it.
#define ZV_TEXT(key) QT_TRANSLATE_NOOP("ZodadaVovov", key)
