#pragma once
// SettingsView: the Settings pane, one switch "Transparent Background" bound both ways to
// the shared key transparentBackground(): toggling writes the key at once; a write made
// anywhere else in the process moves the switch. Below it, when the kernel lacks Landlock or the
// seccomp filter, one line saying so (platform/desktop/ProtectionNote.h); `support` is what the
// running kernel offers unless a test gives another.
//
// Thread-safety: GUI thread only.

#include <QWidget>

#include "platform/Sandbox.h"
#include "settings/binding/Pref.h"

class QCheckBox;
class QLabel;

namespace vorrel {

class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(QWidget* parent = nullptr,
                          const platform::Sandbox::Support& support = platform::Sandbox::support());

    QCheckBox* transparentBackgroundSwitch() const { return switch_; }
    // The missing protection's line; nullptr when nothing is missing.
    QLabel* protectionNote() const { return protectionNote_; }
    const Prefs::Pref<bool>& transparentBackground() const { return *transparentBackground_; }

private:
    Prefs::Pref<bool>* transparentBackground_;
    QCheckBox* switch_;
    QLabel* protectionNote_ = nullptr;
};

}  // namespace vorrel
