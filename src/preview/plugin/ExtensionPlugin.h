#pragma once
// ExtensionPlugin: the root object of vorrel-extension.so, the module the quick-look
// service loads for EPS files (its metadata declares image/x-eps, which shared-mime-info
// also gives DOS-binary EPS files by their content).
//
// Creating it (the service's first use of the module) installs the extension's bundle as
// the process's main bundle: the extension's information dictionary, with the module's
// folder as the bundle folder. Each makeController() gives a new PreviewViewController.
// shutDown() stops the extension's work before the service exits.
//
// Thread-safety: GUI thread only.

#include <QObject>

#include "preview/contract/PreviewingController.h"

namespace vorrel {

class ExtensionPlugin : public QObject, public quicklook::PreviewExtension {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VorrelPreviewExtension_iid FILE "vorrel-extension.json")
    Q_INTERFACES(vorrel::quicklook::PreviewExtension)
public:
    ExtensionPlugin();
    std::unique_ptr<quicklook::PreviewingController> makeController() override;
    // PreviewViewController::shutDown(): conversions stopped, workers drained.
    bool shutDown(std::chrono::milliseconds bound) override;
};

}  // namespace vorrel
