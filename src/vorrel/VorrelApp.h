#pragma once
// VorrelApp: the application object. Made once in main(), after the main bundle is
// installed and the QApplication exists.
//
// Construction, in order: the AppDelegate; the selected pane (Home); the logToFile Pref
// bound to the shared key; the one UpdaterController, created with its updater started
// (its defaults are the host's standard suite, its dialogs UpdaterDialogs unless a user
// driver is given). showWindow() then makes the one window (its content size from
// AppLanguage), lets the delegate style it, centres it on its screen, then shows it.
// raiseWindow(token) brings that window to the front (restored, raised, activated with the
// later launch's token, which compositors want before they hand over the focus): what a
// second launch of the application asks for.
//
// Thread-safety: GUI thread only.

#include <memory>

#include <QObject>

#include "platform/desktop/LaunchToken.h"
#include "updates/UpdaterController.h"
#include "settings/binding/Pref.h"
#include "vorrel/AppDelegate.h"
#include "vorrel/PaneSelection.h"

namespace vorrel {

class MainWindow;

class VorrelApp : public QObject {
    Q_OBJECT
public:
    explicit VorrelApp(std::unique_ptr<platform::UserDriver> userDriver = nullptr,
                       QObject* parent = nullptr);
    ~VorrelApp() override;

    MainWindow* showWindow();
    void raiseWindow(const platform::LaunchToken& token = {});

    AppDelegate& appDelegate() { return appDelegate_; }
    PaneSelection& selectedPane() { return selectedPane_; }
    platform::UpdaterController& updaterController() { return *updaterController_; }
    Prefs::Pref<bool>& logToFile() { return *logToFile_; }
    MainWindow* window() const { return window_.get(); }

private:
    AppDelegate appDelegate_;
    PaneSelection selectedPane_;
    std::unique_ptr<Prefs::Pref<bool>> logToFile_;
    std::unique_ptr<platform::UpdaterController> updaterController_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace vorrel
