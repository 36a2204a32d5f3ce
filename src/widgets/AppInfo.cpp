#include "widgets/AppInfo.h"

#include <QCoreApplication>

#include "platform/Bundle.h"
#include "widgets/LibraryBundle.h"

namespace vorrel::zodadavovov::appinfo {

namespace {
QString entryOrMissing(const char* key) {
    const auto text = platform::Bundle::main().string(key);
    return text ? QString::fromStdString(*text) : missingValue;
}
}  // namespace

QString displayName() {
    const auto bundle = platform::Bundle::main();
    if (auto name = bundle.string("CFBundleDisplayName")) return QString::fromStdString(*name);
    if (auto name = bundle.string("CFBundleName")) return QString::fromStdString(*name);
    // A trailing separator would leave an empty file name; the folder's own name is meant.
    auto path = bundle.bundlePath().lexically_normal();
    if (!path.empty() && !path.has_filename()) path = path.parent_path();
    if (path.has_filename()) return QString::fromStdString(path.filename().string());
    return QCoreApplication::applicationName();
}

QString version() { return entryOrMissing("CFBundleShortVersionString"); }

QString build() { return entryOrMissing("CFBundleVersion"); }

QString versionLine() {
    return libraryText(ZV_TEXT("Version %1 (%2)")).arg(version(), build());
}

}  // namespace vorrel::zodadavovov::appinfo
