#include "preview/plugin/ExtensionPlugin.h"

#include "preview/PreviewViewController.h"
#include "platform/Bundle.h"
#include "platform/ModuleLocation.h"

namespace vorrel {

namespace {
void anchor() {}
}  // namespace

ExtensionPlugin::ExtensionPlugin() {
    platform::Bundle::setMain(platform::Bundle(
        platform::extensionInfoDictionary(),
        platform::moduleFolder(reinterpret_cast<const void*>(&anchor))));
}

std::unique_ptr<quicklook::PreviewingController> ExtensionPlugin::makeController() {
    return std::make_unique<PreviewViewController>();
}

bool ExtensionPlugin::shutDown(std::chrono::milliseconds bound) {
    return PreviewViewController::shutDown(bound);
}

}  // namespace vorrel
