#pragma once
// The preview service's texts in the user's language: installs Qt's own catalogue and the
// service's (embedded under ":/quicklook/i18n", covering the window, its error and fallback
// views and the extension's messages) for `locale`, replacing what an earlier call
// installed. English is the key, so it needs no catalogue. Returns whether the service's
// catalogue was found.
//
// Thread-safety: GUI thread only, once QCoreApplication exists.

#include <QLocale>

namespace vorrel::quicklook {

bool installTranslations(const QLocale& locale = QLocale());

}  // namespace vorrel::quicklook
