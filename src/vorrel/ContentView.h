#pragma once
// ContentView: the window's root, one tab per pane in the order Home, Settings, About.
//
// The selected tab and the shared PaneSelection always agree: choosing a tab sets the
// selection, and setting the selection (View menu, Ctrl+1/2/4) switches the tab. Each tab
// shows its pane with paneSideInset() on its left and right and carries the pane's title
// and symbol icon. The view has a fixed size, contentSize() of the given table row.
//
// Thread-safety: GUI thread only.

#include <QTabWidget>

#include "updates/UpdaterController.h"
#include "vorrel/AppLanguage.h"
#include "vorrel/PaneSelection.h"

namespace vorrel {

class HomeView;
class SettingsView;
class AboutView;

class ContentView : public QTabWidget {
    Q_OBJECT
public:
    ContentView(PaneSelection& selectedPane, platform::UpdaterController& updaterController,
                WindowSize size, QWidget* parent = nullptr);

    HomeView* homeView() const { return home_; }
    SettingsView* settingsView() const { return settings_; }
    AboutView* aboutView() const { return about_; }

private:
    QWidget* inset(QWidget* pane);

    HomeView* home_;
    SettingsView* settings_;
    AboutView* about_;
};

}  // namespace vorrel
