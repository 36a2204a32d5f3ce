#pragma once
// installCatalogues: a program's texts in the user's language.
//
// Installs, for `locale`, Qt's own catalogue (qtbase_<language>.qm, else qt_<language>.qm,
// from Qt's translations folder: shortcut names, the buttons of standard dialogs) and the
// program's catalogue `<name>_<language>.qm` from `folder`, which is asked first. Replaces
// what an earlier call installed. Answers whether the program's catalogue was found
// (English is the key, so English needs none; Qt's own is installed whenever it exists).
//
// Thread-safety: GUI thread only, once QCoreApplication exists.

#include <QLocale>
#include <QString>

namespace vorrel::platform {

bool installCatalogues(const QLocale& locale, const QString& name, const QString& folder);

}  // namespace vorrel::platform
