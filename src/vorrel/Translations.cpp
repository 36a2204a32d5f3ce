#include "vorrel/Translations.h"

#include "platform/desktop/Catalogues.h"

namespace vorrel {

bool installTranslations(const QLocale& locale) {
    return platform::installCatalogues(locale, QStringLiteral("vorrel"), QStringLiteral(":/vorrel/i18n"));
}

}  // namespace vorrel
