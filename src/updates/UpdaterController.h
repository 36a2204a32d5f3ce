#pragma once
// UpdaterController: the process's one updater together with the user driver that shows
// its results. The application creates one at start; everything else reaches the updater
// through updater(), which is the same object for the controller's whole life.
//
// Thread-safety: GUI thread only.

#include <memory>

#include <QObject>

#include "updates/Updater.h"
#include "updates/UserDriver.h"

namespace vorrel::platform {

class UpdaterController : public QObject {
    Q_OBJECT
public:
    // With startingUpdater true the updater is started at once (automatic checks are
    // scheduled); otherwise call startUpdater() later.
    UpdaterController(bool startingUpdater, Bundle bundle, std::shared_ptr<Suite> defaults,
                      std::unique_ptr<UserDriver> driver, QObject* parent = nullptr);
    ~UpdaterController() override;

    Updater& updater() { return *updater_; }
    UserDriver& userDriver() { return *driver_; }
    void startUpdater() { updater_->start(); }

private:
    std::unique_ptr<UserDriver> driver_;  // declared first: the updater refers to it
    std::unique_ptr<Updater> updater_;
};

}  // namespace vorrel::platform
