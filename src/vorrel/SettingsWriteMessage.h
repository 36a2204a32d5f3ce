#pragma once
// SettingsWriteMessage: tells the user, inside the window, that a setting was not saved, or
// that the settings file could not be read.
//
// A bar along the bottom edge of the window it is made for, hidden until a watched Pref
// reports a write the store did not keep (PrefBase::writeFailed). It then reads
// "The setting could not be saved in “<settings file>”: <error>" and stays until the user
// closes it or a watched setting changes again (a later write that was stored). The Pref
// has already put its controls back to the stored value. Not a dialog: nothing blocks.
// When a watched Pref's settings file cannot be read, or only in part (at watch() and after
// each change of a watched setting), it reads "The settings file “<file>” could not be
// read: <what is wrong>. The defaults are in use for what could not be read."
//
// Thread-safety: GUI thread only.

#include <QFrame>

#include "settings/binding/Pref.h"

class QLabel;

namespace vorrel {

class SettingsWriteMessage : public QFrame {
    Q_OBJECT
public:
    explicit SettingsWriteMessage(QWidget* window);

    void watch(const Prefs::PrefBase& pref);
    void showFailure(const QString& file, const QString& error);
    void showReadProblem(const QString& file, const QString& problem);
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void showProblemOf(const Prefs::PrefBase& pref);

    QLabel* label_;
};

}  // namespace vorrel
