#include "prefs/binding/Pref.h"

#include <algorithm>

#include <QVariant>

namespace vorrel::Prefs {

PrefBase::PrefBase(QObject* parent) : QObject(parent) {}

int PrefBase::boundControlCount() const {
    return static_cast<int>(std::count_if(controls_.begin(), controls_.end(),
                                          [](const QPointer<QObject>& c) { return !c.isNull(); }));
}

void PrefBase::bindCheckableControl(QObject* control, std::function<bool()> read,
                                    std::function<void(bool)> write) {
    if (!control) return;
    read_ = std::move(read);
    write_ = std::move(write);
    std::erase_if(controls_, [](const QPointer<QObject>& c) { return c.isNull(); });
    controls_.emplace_back(control);
    control->setProperty("checkable", true);
    control->setProperty("checked", read_());
    // By name: QAbstractButton and QAction share the signal but no base class with it, and
    // this library links no widgets.
    connect(control, SIGNAL(toggled(bool)), this, SLOT(controlToggled(bool)));
}

void PrefBase::syncControls() {
    if (!read_) return;
    const bool value = read_();
    for (const auto& control : controls_)
        if (control && control->property("checked").toBool() != value) control->setProperty("checked", value);
}

void PrefBase::reportWrite(const std::optional<platform::SuiteWriteError>& failure) {
    if (!failure) return;
    syncControls();
    emit writeFailed(QString::fromStdString(failure->file.string()), QString::fromStdString(failure->message));
}

void PrefBase::controlToggled(bool checked) {
    // A control set from the stored value toggles too; writing the same value back again
    // would only notify everybody once more.
    if (write_ && read_ && read_() != checked) write_(checked);
}

}  // namespace vorrel::Prefs
