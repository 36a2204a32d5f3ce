#pragma once
// SettingsWriteMessage: tells the user, inside the window, that a setting was not saved.
//
// A bar along the bottom edge of the window it is made for, hidden until a watched Pref
// reports a write the store did not keep (PrefBase::writeFailed). It then reads
// "The setting could not be saved in “<settings file>”: <error>" and stays until the user
// closes it or a watched setting changes again (a later write that was stored). The Pref
// has already put its controls back to the stored value. Not a dialog: nothing blocks.
//
// Thread-safety: GUI thread only.

#include <QFrame>

#include "prefs/binding/Pref.h"

class QLabel;

namespace vorrel {

class SettingsWriteMessage : public QFrame {
    Q_OBJECT
public:
    explicit SettingsWriteMessage(QWidget* window);

    void watch(const Prefs::PrefBase& pref);
    void showFailure(const QString& file, const QString& error);
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QLabel* label_;
};

}  // namespace vorrel
