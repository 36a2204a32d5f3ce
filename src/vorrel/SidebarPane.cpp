#include "vorrel/SidebarPane.h"

#include <QCoreApplication>

namespace vorrel {

std::string_view rawValue(SidebarPane pane) {
    switch (pane) {
    case SidebarPane::Home: return "Home";
    case SidebarPane::Settings: return "Settings";
    case SidebarPane::About: return "About";
    }
    return {};
}

std::optional<SidebarPane> sidebarPaneFromRawValue(std::string_view raw) {
    for (const SidebarPane pane : allSidebarPanes) {
        if (rawValue(pane) == raw) return pane;
    }
    return std::nullopt;
}

QString title(SidebarPane pane) {
    // The literal is both the catalogue key and the English text.
    switch (pane) {
    case SidebarPane::Home: return QCoreApplication::translate("SidebarPane", "Home");
    case SidebarPane::Settings: return QCoreApplication::translate("SidebarPane", "Settings");
    case SidebarPane::About: return QCoreApplication::translate("SidebarPane", "About");
    }
    return {};
}

std::string_view symbol(SidebarPane pane) {
    switch (pane) {
    case SidebarPane::Home: return "house";
    case SidebarPane::Settings: return "gear";
    case SidebarPane::About: return "info.circle";
    }
    return {};
}

QKeySequence shortcut(SidebarPane pane) {
    switch (pane) {
    case SidebarPane::Home: return QKeySequence(Qt::CTRL | Qt::Key_1);
    case SidebarPane::Settings: return QKeySequence(Qt::CTRL | Qt::Key_2);
    case SidebarPane::About: return QKeySequence(Qt::CTRL | Qt::Key_3);
    }
    return {};
}

int indexOf(SidebarPane pane) {
    return static_cast<int>(pane);
}

}  // namespace vorrel
