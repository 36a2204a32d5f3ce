#include "updates/UpdaterController.h"

namespace vorrel::platform {

UpdaterController::UpdaterController(bool startingUpdater, Bundle bundle,
                                     std::shared_ptr<Suite> defaults,
                                     std::unique_ptr<UserDriver> driver, QObject* parent)
    : QObject(parent),
      driver_(std::move(driver)),
      updater_(std::make_unique<Updater>(std::move(bundle), std::move(defaults), *driver_)) {
    if (startingUpdater) updater_->start();
}

UpdaterController::~UpdaterController() = default;

}  // namespace vorrel::platform
