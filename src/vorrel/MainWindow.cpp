#include "vorrel/MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>

#include "platform/desktop/FileManager.h"
#include "platform/AppGroup.h"
#include "cache/PreviewFiles.h"
#include "vorrel/CheckUpdatesButton.h"
#include "vorrel/ContentView.h"
#include "vorrel/PreviewVerdict.h"
#include "vorrel/SettingsView.h"
#include "vorrel/SettingsWriteMessage.h"
#include "widgets/HelpMenu.h"
#include "widgets/UTIFinder.h"
#include "widgets/MakerLinks.h"
#include "widgets/SymbolIcon.h"

namespace vorrel {

namespace zv = zodadavovov;

namespace {
QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
}  // namespace

MainWindow::MainWindow(PaneSelection& selectedPane, platform::UpdaterController& updaterController,
                       Prefs::Pref<bool>& logToFile, WindowSize size, QWidget* parent)
    : QMainWindow(parent),
      selectedPane_(selectedPane),
      logToFile_(logToFile),
      content_(new ContentView(selectedPane, updaterController, size)) {
    setCentralWidget(content_);
    // Said, not left to the window system: title bars a program draws itself (Wayland
    // without server-side decorations) show the window's own title, never the display name.
    setWindowTitle(QStringLiteral("Vorrel"));
    createFileMenu(updaterController);
    createViewMenu();
    createHelpMenu();

    auto* settingsMessage = new SettingsWriteMessage(this);
    settingsMessage->watch(logToFile_);
    settingsMessage->watch(content_->settingsView()->transparentBackground());
}

void MainWindow::createFileMenu(platform::UpdaterController& updaterController) {
    fileMenu_ = menuBar()->addMenu(tr("&File"));
    QAction* about = fileMenu_->addAction(zv::symbolIcon("info.circle"),
                                          tr("About %1").arg(QGuiApplication::applicationDisplayName()));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this] { selectedPane_.setPane(SidebarPane::About); });
    checkUpdates_ = new CheckUpdatesButton(updaterController.updater(), this);
    fileMenu_->addAction(checkUpdates_);
    fileMenu_->addSeparator();
    QAction* quit = fileMenu_->addAction(tr("&Quit"), QKeySequence::Quit);
    // Without a desktop theme Qt knows no Quit key; Ctrl+Q is the one every desktop uses.
    if (quit->shortcut().isEmpty()) quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::createViewMenu() {
    viewMenu_ = menuBar()->addMenu(tr("&View"));
    for (const SidebarPane pane : allSidebarPanes) {
        QAction* action = viewMenu_->addAction(zv::symbolIcon(symbol(pane)), title(pane));
        action->setShortcut(shortcut(pane));
        // The window's shortcut, so it works while any of its widgets has the focus.
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, pane] { selectedPane_.setPane(pane); });
    }
    viewMenu_->addSeparator();
}

void MainWindow::createHelpMenu() {
    helpMenu_ = menuBar()->addMenu(tr("&Help"));
    helpMenu_->addAction(zv::helpmenu::utiFinder(this));
    zv::UTIFinder::setVerdict(previewVerdict);

    logToFileAction_ = helpMenu_->addAction(zv::symbolIcon("ladybug"), tr("Log to File"));
    logToFileAction_->setCheckable(true);
    // Desktop menus show a switch's state as a check box in the icon column; an icon there
    // hides it (checked shows only as a faint frame around the icon).
    logToFileAction_->setIconVisibleInMenu(false);
    logToFile_.bindCheckable(logToFileAction_);

    showLogFile_ = helpMenu_->addAction(zv::symbolIcon("doc.text.magnifyingglass"),
                                        tr("Show Log File in File Manager"));
    connect(showLogFile_, &QAction::triggered, this, &MainWindow::showLogFile);
    revealPreviewFiles_ = helpMenu_->addAction(zv::symbolIcon("folder"), tr("Reveal Preview Files Folder"));
    connect(revealPreviewFiles_, &QAction::triggered, this, &MainWindow::revealPreviewFilesFolder);
    connect(&logToFile_, &Prefs::PrefBase::changed, this, &MainWindow::updateDiagnostics);
    updateDiagnostics();

    helpMenu_->addSeparator();
    helpMenu_->addAction(zv::helpmenu::moreAppsByUs(this));
    helpMenu_->addAction(zv::helpmenu::contactUs(text(zv::maker::supportEmail), this));
    helpMenu_->addSeparator();
    helpMenu_->addAction(zv::helpmenu::privacyPolicy(text(zv::maker::privacyPolicy), this));
    helpMenu_->addAction(zv::helpmenu::termsOfService(text(zv::maker::termsOfService), this));
}

void MainWindow::updateDiagnostics() {
    const bool visible = logToFile_.wrappedValue();
    showLogFile_->setVisible(visible);
    revealPreviewFiles_->setVisible(visible);
}

namespace {

// Reveals `path`; when nothing could show it, says so with the path to copy.
void revealOrSay(QWidget* window, const std::filesystem::path& path, const QString& failure) {
    QPointer<QWidget> guard(window);
    platform::FileManager::reveal(path, [guard, path, failure](platform::FileManager::RevealOutcome outcome) {
        if (outcome != platform::FileManager::RevealOutcome::Failed || !guard) return;
        auto* box = new QMessageBox(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), failure,
                                    QMessageBox::Ok, guard);
        box->setObjectName(QStringLiteral("cannotReveal"));
        box->setTextFormat(Qt::PlainText);
        box->setInformativeText(
            MainWindow::tr("Its path, to copy:") +
            QStringLiteral("<p><tt>%1</tt></p>").arg(QFile::decodeName(path.c_str()).toHtmlEscaped()));
        box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
}

}  // namespace

void MainWindow::showLogFile() {
    // Without a group container there is no log file to show: do nothing, like the
    // preview files command.
    if (const auto logFile = logFileURL())
        revealOrSay(this, *logFile, tr("No file manager could show the log file."));
}

void MainWindow::revealPreviewFilesFolder() {
    try {
        revealOrSay(this, previewFilesDirectory(), tr("No file manager could show the preview files folder."));
    } catch (const ContainerUnavailableError&) {
        // No container: nothing to reveal, and nothing to report.
    }
}

}  // namespace vorrel
