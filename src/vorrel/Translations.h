#pragma once
// The application's texts in the user's language: the main bundle's catalogue (embedded as
// ":/vorrel/i18n/vorrel_<language>.qm") and Qt's own, through platform::installCatalogues.
//
// Thread-safety: GUI thread only, once QCoreApplication exists.

#include <QLocale>

namespace vorrel {

// Installs the catalogues that fit the locale into the application, replacing those
// installed earlier by this function. Answers whether the main bundle has a catalogue for
// that language (Qt's own is installed whenever it exists).
bool installTranslations(const QLocale& locale = QLocale());

}  // namespace vorrel
