#pragma once
// AppVersionUpdaterView: the About pane's version block.
//
// Row 1: the live application icon (iconSize), then, right-aligned, the display name
// (24 px medium), the version line "Version X (B)" (13 px, secondary) and a row holding a
// QuickLookHelpButton and "Check for Updates…", the default button (Return), which runs
// checkForUpdates.
// Row 2: the check box "Automatically check for updates", bound both ways to the caller's
// setting: it starts from getAutomaticallyCheck(); a click calls setAutomaticallyCheck();
// a change made elsewhere is shown by calling setAutomaticallyCheckForUpdates() (which
// does not call the setter back).
//
// Thread-safety: GUI thread only.

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace vorrel::zodadavovov {

class QuickLookHelpButton;

class AppVersionUpdaterView : public QWidget {
    Q_OBJECT
public:
    struct Options {
        int iconSize = 64;
        std::function<void()> checkForUpdates;
        std::function<bool()> getAutomaticallyCheck;
        std::function<void(bool)> setAutomaticallyCheck;
    };

    explicit AppVersionUpdaterView(Options options, QWidget* parent = nullptr);

    bool automaticallyCheckForUpdates() const;

    QLabel* nameLabel() const { return name_; }
    QLabel* versionLabel() const { return version_; }
    QPushButton* checkForUpdatesButton() const { return check_; }
    QCheckBox* automaticCheckBox() const { return automatic_; }
    QuickLookHelpButton* helpButton() const { return help_; }

public slots:
    // Shows a value that changed elsewhere.
    void setAutomaticallyCheckForUpdates(bool on);
    // Enables or disables "Check for Updates…" (e.g. while a check runs).
    void setCheckForUpdatesEnabled(bool enabled);

signals:
    // The user toggled the check box (after the setter ran).
    void automaticallyCheckForUpdatesToggled(bool on);

private:
    Options options_;
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QPushButton* check_ = nullptr;
    QCheckBox* automatic_ = nullptr;
    QuickLookHelpButton* help_ = nullptr;
};

}  // namespace vorrel::zodadavovov
