#pragma once
// SettingsView: the Settings pane, one switch "Transparent Background" bound both ways to
// the shared key transparentBackground(): toggling writes the key at once; a write made
// anywhere else in the process moves the switch.
//
// Thread-safety: GUI thread only.

#include <QWidget>

#include "settings/binding/Pref.h"

class QCheckBox;

namespace vorrel {

class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(QWidget* parent = nullptr);

    QCheckBox* transparentBackgroundSwitch() const { return switch_; }
    const Prefs::Pref<bool>& transparentBackground() const { return *transparentBackground_; }

private:
    Prefs::Pref<bool>* transparentBackground_;
    QCheckBox* switch_;
};

}  // namespace vorrel
