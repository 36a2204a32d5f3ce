#include "vorrel/CheckForUpdatesViewModel.h"

namespace vorrel {

CheckForUpdatesViewModel::CheckForUpdatesViewModel(platform::Updater& updater, QObject* parent)
    : QObject(parent) {
    // Subscribe first, then take the current value, so no change can fall between the two.
    connect(&updater, &platform::Updater::canCheckForUpdatesChanged, this, [this](bool canCheck) {
        canCheckForUpdates_ = canCheck;
        emit changed(canCheck);
    });
    canCheckForUpdates_ = updater.canCheckForUpdates();
}

}  // namespace vorrel
