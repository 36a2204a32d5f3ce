#include "widgets/LibraryBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

#include "platform/Fatal.h"

namespace vorrel::zodadavovov {

namespace {

const QString root = QStringLiteral(":/zodadavovov");

struct Bundle {
    Bundle() {
        if (!QDir(root).exists())
            platform::fatalError("unable to find bundle named ZodadaVovov_ZodadaVovov");
        // The translator is owned by the application so that it lives exactly as long as
        // the translations it serves.
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QLocale(), QStringLiteral("zodadavovov"), QStringLiteral("_"),
                             root + QStringLiteral("/i18n")))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
};

void ensureLoaded() {
    static const Bundle bundle;
    (void)bundle;
}

}  // namespace

QString libraryText(const char* key) {
    ensureLoaded();
    return QCoreApplication::translate(libraryContext, key);
}

QString libraryResourceRoot() {
    ensureLoaded();
    return root;
}

}  // namespace vorrel::zodadavovov
