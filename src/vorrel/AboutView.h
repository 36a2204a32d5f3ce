#pragma once
// AboutView: the About pane.
//
//   1. The version block (AppVersionUpdaterView, icon 72 px): "Check for Updates…" asks
//      the updater for a check; the "Automatically check for updates" switch starts from
//      the updater's automaticallyChecksForUpdates when the pane is made and writes every
//      change straight through to the updater (nothing flows back while the pane lives).
//   2. "More Apps by Us": two numbered links to the maker's other applications.
//
// Thread-safety: GUI thread only.

#include <QWidget>

#include "updates/UpdaterController.h"

namespace vorrel::zodadavovov {
class AppVersionUpdaterView;
}

namespace vorrel {

class AboutView : public QWidget {
    Q_OBJECT
public:
    AboutView(platform::UpdaterController& updaterController, QWidget* parent = nullptr);

    zodadavovov::AppVersionUpdaterView* versionView() const { return version_; }

private:
    zodadavovov::AppVersionUpdaterView* version_;
};

}  // namespace vorrel
