#pragma once
// CheckUpdatesButton: the "Check for Updates…" menu command. Triggering it asks the
// updater for a check the user sees; it is disabled while its view model reports that
// no check can start (a check is running). Its own condition is kept apart from any
// disabling the surroundings impose through setSurroundingsEnabled().
//
// Thread-safety: GUI thread only.

#include <QAction>

#include "updates/Updater.h"
#include "vorrel/CheckForUpdatesViewModel.h"

namespace vorrel {

class CheckUpdatesButton : public QAction {
    Q_OBJECT
public:
    // The view model is made here, on the updater, and owned by the action.
    CheckUpdatesButton(platform::Updater& updater, QObject* parent = nullptr);

    CheckForUpdatesViewModel& viewModel() { return *viewModel_; }
    void setSurroundingsEnabled(bool enabled);

private:
    void refresh();

    CheckForUpdatesViewModel* viewModel_;
    bool surroundingsEnabled_ = true;
};

}  // namespace vorrel
