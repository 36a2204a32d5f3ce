#include "vorrel/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace vorrel {

bool installTranslations(const QLocale& locale) {
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("vorrel"), QStringLiteral("_"), QStringLiteral(":/vorrel/i18n")))
        return false;
    installed = translator.release();
    QCoreApplication::installTranslator(installed);
    return true;
}

}  // namespace vorrel
