#pragma once
// The main bundle's translation catalogue: the host's texts for the user's language
// (embedded as ":/vorrel/i18n/vorrel_<language>.qm"). English is the key, so English needs
// no catalogue.
//
// Thread-safety: GUI thread only, once QCoreApplication exists.

#include <QLocale>

namespace vorrel {

// Installs the catalogue that fits the locale into the application, replacing one
// installed earlier by this function; false when there is none for that language.
bool installTranslations(const QLocale& locale = QLocale());

}  // namespace vorrel
