#pragma once
// AppInfo: the application information the branding and version views show, read from
// the process's main bundle (platform::Bundle::main()) each time it is asked.
//
//   displayName()  "CFBundleDisplayName" if present and text, else "CFBundleName" if
//                  present and text, else the file name of the bundle's folder, else the
//                  application name. Never fails.
//   version()      "CFBundleShortVersionString"; "⚠️" when missing or not text.
//   build()        "CFBundleVersion"; "⚠️" when missing or not text.
//   versionLine()  the library text "Version %1 (%2)" with version and build.
//
// Thread-safety: GUI thread only (versionLine() translates).

#include <QString>

namespace vorrel::zodadavovov::appinfo {

// U+26A0 U+FE0F, shown in place of a missing version or build.
inline const QString missingValue = QString::fromUtf8("\u26A0\uFE0F");

QString displayName();
QString version();
QString build();
QString versionLine();

}  // namespace vorrel::zodadavovov::appinfo
