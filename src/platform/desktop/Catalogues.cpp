#include "platform/desktop/Catalogues.h"

#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vorrel::platform {

namespace {

std::vector<std::unique_ptr<QTranslator>>& installed() {
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

bool install(const QLocale& locale, const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), folder)) return false;
    QCoreApplication::installTranslator(translator.get());
    installed().push_back(std::move(translator));
    return true;
}

}  // namespace

bool installCatalogues(const QLocale& locale, const QString& name, const QString& folder) {
    for (const auto& translator : installed()) QCoreApplication::removeTranslator(translator.get());
    installed().clear();
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!install(locale, QStringLiteral("qtbase"), qtFolder)) install(locale, QStringLiteral("qt"), qtFolder);
    // Installed last, so it is asked first.
    return install(locale, name, folder);
}

}  // namespace vorrel::platform
