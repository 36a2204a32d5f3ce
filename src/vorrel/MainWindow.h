#pragma once
// MainWindow: the application's one window: the ContentView and the menus.
//
//   File:  About Vorrel (shows the About pane), Check for Updates…, —, Quit (Ctrl+Q).
//          There is no new-window item: the application has exactly one window.
//   View:  Home (Ctrl+1), Settings (Ctrl+2), About (Ctrl+3), —
//          Each sets the shared PaneSelection, which switches the tab.
//   Help:  MIME Type Finder; Log to File (a switch bound to the shared key logToFile);
//          only while logToFile is true: Show Log File in File Manager, Reveal Preview
//          Files Folder; —; More Apps By Us; Contact Us; —; Privacy Policy; Terms of Service.
//          The two diagnostics items appear and disappear with every write of logToFile in
//          this process. Each reveals its target in the file manager, and does nothing
//          when there is no group container; when neither a file manager nor the
//          desktop's opener can show it, a message gives its path to copy.
// A switch whose setting could not be saved shows the stored value again, and a
// SettingsWriteMessage at the bottom of the window says which file and why.
//
// Thread-safety: GUI thread only.

#include <QMainWindow>

#include "updates/UpdaterController.h"
#include "settings/binding/Pref.h"
#include "vorrel/AppLanguage.h"
#include "vorrel/PaneSelection.h"

namespace vorrel {

class CheckUpdatesButton;
class ContentView;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(PaneSelection& selectedPane, platform::UpdaterController& updaterController,
               Prefs::Pref<bool>& logToFile, WindowSize size, QWidget* parent = nullptr);

    ContentView* contentView() const { return content_; }
    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* viewMenu() const { return viewMenu_; }
    QMenu* helpMenu() const { return helpMenu_; }
    CheckUpdatesButton* checkUpdatesAction() const { return checkUpdates_; }
    QAction* logToFileAction() const { return logToFileAction_; }
    QAction* showLogFileAction() const { return showLogFile_; }
    QAction* revealPreviewFilesAction() const { return revealPreviewFiles_; }

    // The two diagnostics commands.
    void showLogFile();
    void revealPreviewFilesFolder();

private:
    void createFileMenu(platform::UpdaterController& updaterController);
    void createViewMenu();
    void createHelpMenu();
    void updateDiagnostics();

    PaneSelection& selectedPane_;
    Prefs::Pref<bool>& logToFile_;
    ContentView* content_;
    QMenu* fileMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    CheckUpdatesButton* checkUpdates_ = nullptr;
    QAction* logToFileAction_ = nullptr;
    QAction* showLogFile_ = nullptr;
    QAction* revealPreviewFiles_ = nullptr;
};

}  // namespace vorrel
