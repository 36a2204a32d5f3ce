#include "vorrel/AppLanguage.h"

#include <QLocale>

#include "platform/SystemVersion.h"

namespace vorrel {

namespace {
constexpr std::array<const char*, 8> kCodes{"en", "zh", "fr", "de", "ja", "ko", "pt", "es"};

bool atLeastVersion15() {
    return platform::SystemVersion::isAtLeast({15, 0, 0});
}
}  // namespace

int appLanguageFor(const QString& languageCode) {
    for (std::size_t row = 0; row < kCodes.size(); ++row) {
        if (languageCode == QLatin1String(kCodes[row])) return static_cast<int>(row);
    }
    return 0;
}

int appLanguage() {
    static const int row = [] {
        // The two-letter code, as "de" in "de_CH"; the C locale has no language code.
        const QLocale locale;
        if (locale.language() == QLocale::C) return 0;
        return appLanguageFor(QLocale::languageToCode(locale.language()));
    }();
    return row;
}

QSize contentSize(WindowSize row) {
    return QSize(row.width, row.height + (atLeastVersion15() ? 0 : 30));
}

int paneSideInset() {
    return atLeastVersion15() ? 10 : 14;
}

}  // namespace vorrel
