#pragma once
// SidebarPane: the window's panes, in the order of their tabs and View-menu items.
//
//   pane       raw value   title (translated)  symbol         shortcut
//   Home       "Home"      "Home"              "house"        Ctrl+1
//   Settings   "Settings"  "Settings"          "gear"         Ctrl+2
//   About      "About"     "About"             "info.circle"  Ctrl+3
//
// fromRawValue() gives nothing for any other string (case matters).
//
// Thread-safety: pure functions; title() translates, so call it on the GUI thread.

#include <array>
#include <optional>
#include <string_view>

#include <QKeySequence>
#include <QString>

namespace vorrel {

enum class SidebarPane { Home, Settings, About };

inline constexpr std::array<SidebarPane, 3> allSidebarPanes{SidebarPane::Home, SidebarPane::Settings,
                                                             SidebarPane::About};

std::string_view rawValue(SidebarPane pane);
std::optional<SidebarPane> sidebarPaneFromRawValue(std::string_view raw);
QString title(SidebarPane pane);
std::string_view symbol(SidebarPane pane);
QKeySequence shortcut(SidebarPane pane);
// Position in allSidebarPanes (the tab index).
int indexOf(SidebarPane pane);

}  // namespace vorrel
