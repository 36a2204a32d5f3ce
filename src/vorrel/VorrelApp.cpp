#include "vorrel/VorrelApp.h"

#include <QApplication>
#include <QScreen>
#include <QWindow>

#include "settings/Suite.h"
#include "settings/SharedSettings.h"
#include "vorrel/AppLanguage.h"
#include "vorrel/MainWindow.h"
#include "vorrel/UpdaterDialogs.h"

namespace vorrel {

VorrelApp::VorrelApp(std::unique_ptr<platform::UserDriver> userDriver, QObject* parent)
    : QObject(parent),
      logToFile_(std::make_unique<Prefs::Pref<bool>>(vorrel::logToFile())),
      updaterController_(std::make_unique<platform::UpdaterController>(
          true, platform::Bundle::main(), platform::Suite::standard(),
          userDriver ? std::move(userDriver) : std::make_unique<UpdaterDialogs>())) {
    QApplication::setQuitOnLastWindowClosed(appDelegate_.applicationShouldTerminateAfterLastWindowClosed());
}

VorrelApp::~VorrelApp() {
    // The window refers to the Pref and the updater: it goes first.
    window_.reset();
}

MainWindow* VorrelApp::showWindow() {
    if (window_) return window_.get();
    window_ = std::make_unique<MainWindow>(selectedPane_, *updaterController_, *logToFile_,
                                           windowSizeTable[std::size_t(appLanguage())]);
    // Styled, sized and centred on its screen before its first show(): a window whose flags
    // change right after being mapped is unmapped and mapped again, and some window managers
    // leave it unmapped. Centred once more when shown, for the frame the window system then
    // adds where it knows it at once (a move, which never unmaps).
    auto centre = [window = window_.get()] {
        if (const QScreen* screen = window->screen()) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
    };
    appDelegate_.applicationWillFinishLaunching(window_.get());
    window_->adjustSize();
    centre();
    window_->show();
    centre();
    return window_.get();
}

void VorrelApp::raiseWindow(const platform::LaunchToken& token) {
    MainWindow* window = showWindow();
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    if (QWindow* handle = window->windowHandle())
        platform::activate(handle, token);
    else
        window->activateWindow();
}

}  // namespace vorrel
