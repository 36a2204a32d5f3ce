#include "widgets/SymbolIcon.h"

#include <array>
#include <utility>

#include "platform/Bundle.h"
#include "widgets/LibraryBundle.h"

namespace vorrel::zodadavovov {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 13> symbols{{
    {"magnifyingglass", "system-search"},
    {"app.badge", "applications-other"},
    {"envelope", "mail-message-new"},
    {"hand.raised", "preferences-system-privacy"},
    {"newspaper", "x-office-document"},
    {"exclamationmark.bubble", "help-faq"},
    {"house", "go-home"},
    {"gear", "preferences-system"},
    {"info.circle", "help-about"},
    {"ladybug", "tools-report-bug"},
    {"doc.text.magnifyingglass", "document-preview"},
    {"folder", "folder"},
    {"arrow.trianglehead.2.counterclockwise.rotate.90", "view-refresh"},
}};

QString shipped(std::string_view file) {
    return libraryResourceRoot() + QStringLiteral("/icons/") +
           QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size())) +
           QStringLiteral(".svg");
}

}  // namespace

QString themeIconName(std::string_view symbol) {
    for (const auto& [name, theme] : symbols)
        if (name == symbol)
            return QString::fromLatin1(theme.data(), static_cast<qsizetype>(theme.size()));
    return {};
}

QIcon symbolIcon(std::string_view symbol) {
    const QString theme = themeIconName(symbol);
    if (theme.isEmpty()) return {};
    return QIcon::fromTheme(theme, QIcon(shipped(symbol)));
}

QIcon applicationIcon() {
    const auto bundle = platform::Bundle::main();
    const QString name = QString::fromStdString(bundle.string("CFBundleName").value_or("")).toLower();
    const QIcon fallback(shipped("app-icon"));
    if (name.isEmpty()) return fallback;
    return QIcon::fromTheme(name, fallback);
}

}  // namespace vorrel::zodadavovov
