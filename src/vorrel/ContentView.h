#pragma once
// ContentView: the window's root, one tab per pane in the order Home, Settings, About.
//
// The selected tab and the shared PaneSelection always agree: choosing a tab sets the
// selection, and setting the selection (View menu, Ctrl+1/2/4) switches the tab. Each tab
// shows its pane with paneSideInset() on its left and right and carries the pane's title
// and symbol icon. Each pane sits in a scroll area that scrolls only on a screen too small for
// it. The view opens at contentSize() of the given table row, or larger where a pane needs it
// in the running language; its minimum shows every pane whole (wrapped texts at the width it
// opens with), bounded by nine tenths of the screen.
//
// Thread-safety: GUI thread only.

#include <QTabWidget>

#include <vector>

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
    // The pane pages inside their scroll areas, in tab order.
    const std::vector<QWidget*>& pages() const { return pages_; }
    // The size it opens with, which the window takes from it.
    QSize sizeHint() const override { return opening_; }

private:
    QWidget* inset(QWidget* pane);
    void fitPanes(QSize preferred);

    std::vector<QWidget*> pages_;
    QSize opening_;
    HomeView* home_;
    SettingsView* settings_;
    AboutView* about_;
};

}  // namespace vorrel
