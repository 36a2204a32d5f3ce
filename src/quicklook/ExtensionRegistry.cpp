#include "quicklook/ExtensionRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QPluginLoader>

#include <algorithm>

#include "preview/contract/PreviewingController.h"

#ifndef VORREL_PLUGIN_SUBDIR
#define VORREL_PLUGIN_SUBDIR "lib/vorrel"
#endif

namespace vorrel::quicklook {

ExtensionRegistry::ExtensionRegistry(const QString& pluginFolder) {
    const QDir folder(pluginFolder);
    const auto names = folder.entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        auto loader = std::make_unique<QPluginLoader>(folder.absoluteFilePath(name));
        loader->setLoadHints(loader->loadHints() | QLibrary::PreventUnloadHint);
        const QJsonObject meta = loader->metaData();
        if (meta.value(QStringLiteral("IID")).toString() !=
            QLatin1String(VorrelPreviewExtension_iid))
            continue;
        QStringList types;
        const auto declared =
            meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("MimeTypes"));
        for (const auto& type : declared.toArray()) types << type.toString();
        if (!types.isEmpty()) entries_.push_back({std::move(loader), types});
    }
}

ExtensionRegistry::~ExtensionRegistry() = default;

QString ExtensionRegistry::defaultPluginFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../" VORREL_PLUGIN_SUBDIR));
}

QStringList ExtensionRegistry::declaredMimeTypes() const {
    QStringList all;
    for (const auto& entry : entries_) all << entry.mimeTypes;
    return all;
}

PreviewExtension* ExtensionRegistry::extensionFor(const std::filesystem::path& file,
                                                  QString* error) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QFile::decodeName(file.c_str()));
    for (auto& entry : entries_) {
        const bool serves = std::any_of(entry.mimeTypes.begin(), entry.mimeTypes.end(),
                                        [&](const QString& name) { return type.inherits(name); });
        if (!serves) continue;
        auto* extension = qobject_cast<PreviewExtension*>(entry.loader->instance());
        if (extension) return extension;
        if (error) *error = entry.loader->errorString();
        return nullptr;
    }
    if (error)
        *error = QCoreApplication::translate("vorrel-quicklook",
                                             "No preview extension serves files of type %1.")
                     .arg(type.name());
    return nullptr;
}

bool ExtensionRegistry::shutDown(std::chrono::milliseconds bound) {
    bool finished = true;
    for (auto& entry : entries_) {
        if (!entry.loader->isLoaded()) continue;
        if (auto* extension = qobject_cast<PreviewExtension*>(entry.loader->instance()))
            finished = extension->shutDown(bound) && finished;
    }
    return finished;
}

}  // namespace vorrel::quicklook
