#include "vorrel/CheckUpdatesButton.h"

#include "widgets/SymbolIcon.h"

namespace vorrel {

CheckUpdatesButton::CheckUpdatesButton(platform::Updater& updater, QObject* parent)
    : QAction(tr("Check for Updates…"), parent),
      viewModel_(new CheckForUpdatesViewModel(updater, this)) {
    setIcon(zodadavovov::symbolIcon("arrow.trianglehead.2.counterclockwise.rotate.90"));
    setMenuRole(QAction::ApplicationSpecificRole);
    connect(this, &QAction::triggered, &updater, &platform::Updater::checkForUpdates);
    connect(viewModel_, &CheckForUpdatesViewModel::changed, this, &CheckUpdatesButton::refresh);
    refresh();
}

void CheckUpdatesButton::setSurroundingsEnabled(bool enabled) {
    surroundingsEnabled_ = enabled;
    refresh();
}

void CheckUpdatesButton::refresh() {
    setEnabled(surroundingsEnabled_ && viewModel_->canCheckForUpdates());
}

}  // namespace vorrel
