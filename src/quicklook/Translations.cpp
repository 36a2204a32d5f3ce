#include "quicklook/Translations.h"

#include "platform/desktop/Catalogues.h"

namespace vorrel::quicklook {

bool installTranslations(const QLocale& locale) {
    return platform::installCatalogues(locale, QStringLiteral("quicklook"), QStringLiteral(":/quicklook/i18n"));
}

}  // namespace vorrel::quicklook
