#pragma once
// The base of the window tests: one home and the real plug-in, loaded once from the build
// prefix for the whole class (the plug-in keeps the container it found first), and the
// waits a test needs on a window.
#include <QObject>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <optional>

#include "quicklook/ExtensionRegistry.h"
#include "quicklook/QuickLookWindow.h"
#include "support/TempHome.h"

namespace vorrel::test {

class PluginWindowTest : public QObject {
protected:
    std::optional<TempHome> home;
    std::optional<quicklook::ExtensionRegistry> registry;

    void loadPlugin() {
        home.emplace();
        registry.emplace(QStringLiteral(VORREL_PLUGIN_FOLDER));
    }
    void unloadPlugin() {
        registry->shutDown(std::chrono::seconds(10));
        registry.reset();
        home.reset();
    }
};

inline bool waitShown(quicklook::QuickLookWindow& window) {
    QSignalSpy shown(&window, &quicklook::QuickLookWindow::contentShown);
    return shown.wait(60000);
}

// Gives the window the keyboard, as a click on it would.
inline bool activate(quicklook::QuickLookWindow& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

}  // namespace vorrel::test
