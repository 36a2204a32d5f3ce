#pragma once
// ExtensionRegistry: finds the preview extension that serves a file.
//
// Extensions are Qt plug-in modules in one folder (in an installation
// P/lib/vorrel/, found from the program's own folder as ../lib/vorrel). Their metadata
// lists the MIME types they serve ("MimeTypes"); the registry reads it without loading the
// module. A file is served by the first extension declaring its MIME type or one of that
// type's ancestors (shared-mime-info decides the type: name first, then content). A module
// is loaded when it is first needed and stays loaded, and mapped, for the life of the process
// (never unloaded, so no thread of it can find its code gone). shutDown() asks every loaded
// extension to stop its work; the service calls it before it exits.
//
// Thread-safety: GUI thread only.

#include <QString>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

class QPluginLoader;

namespace vorrel::quicklook {

class PreviewExtension;

class ExtensionRegistry {
public:
    explicit ExtensionRegistry(const QString& pluginFolder);
    ~ExtensionRegistry();
    ExtensionRegistry(const ExtensionRegistry&) = delete;
    ExtensionRegistry& operator=(const ExtensionRegistry&) = delete;

    // The program's own folder + "/../" + the plug-in folder of the layout.
    static QString defaultPluginFolder();

    // The MIME types each module found declares, in folder order (for diagnostics).
    QStringList declaredMimeTypes() const;

    // The loaded extension serving `file`, or nullptr with the reason in *error.
    PreviewExtension* extensionFor(const std::filesystem::path& file, QString* error);

    // PreviewExtension::shutDown(bound) on every loaded extension; false when one did not
    // finish in time.
    bool shutDown(std::chrono::milliseconds bound);

private:
    struct Entry {
        std::unique_ptr<QPluginLoader> loader;
        QStringList mimeTypes;
    };
    std::vector<Entry> entries_;
};

}  // namespace vorrel::quicklook
