#pragma once
// CheckForUpdatesViewModel: follows the updater's canCheckForUpdates.
//
// It holds the updater's current value from the moment it is made (not false), then every
// change the updater announces, for as long as it lives. changed() is emitted for each
// reported value after the first.
//
// Thread-safety: GUI thread only (the updater announces on the GUI thread).

#include <QObject>

#include "updates/Updater.h"

namespace vorrel {

class CheckForUpdatesViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY changed)
public:
    explicit CheckForUpdatesViewModel(platform::Updater& updater, QObject* parent = nullptr);

    bool canCheckForUpdates() const { return canCheckForUpdates_; }

signals:
    void changed(bool canCheckForUpdates);

private:
    bool canCheckForUpdates_ = false;
};

}  // namespace vorrel
