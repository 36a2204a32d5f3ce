#pragma once
// Pref<V>: a settings key bound to widgets.
//
//   Pref<bool> pref(transparentBackground());
//   pref.bindCheckable(checkBox);           // a QCheckBox, or any checkable QAbstractButton
//   pref.bindCheckable(action);             // a checkable QAction
//   QObject::connect(&pref, &PrefBase::changed, view, &View::refresh);
//
// wrappedValue() reads the key (Prefs::get) at every call; setWrappedValue() writes it
// (Prefs::set). changed() is emitted on the Pref's thread (the GUI thread) after every
// write of the key made anywhere in this process: directly when the write happened on
// that thread, queued when it happened on another one. Bound controls follow: their
// "checked" property is set from the stored value on every change, and toggling a
// control writes the key. Bindings hold the controls weakly (a destroyed control is
// dropped).
//
// A write through the Pref (setWrappedValue, reset, a toggled control) that the store
// does not keep puts every bound control back to the stored value and emits
// writeFailed() with the settings file and the error, so a control never shows what was
// not stored.
//
// Bound controls also follow other processes: the settings file's folder is watched
// (QFileSystemWatcher; the folder, as writers rename a new file over the old one), and
// when the stored value no longer matches what the controls show, they are set from it
// and changed() is emitted. Without a folder yet, the nearest existing parent is watched
// until the folder appears.
//
// setKey() replaces the key; observation restarts only when the new key differs in name or
// suite (an equal key keeps the running observation), and changed() is emitted then.
//
// Thread-safety: a QObject of the GUI thread; use it there. Writes elsewhere are fine.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QObject>
#include <QPointer>

#include "settings/Prefs.h"
#include "settings/binding/Observable.h"

class QFileSystemWatcher;

namespace vorrel::Prefs {

class PrefBase : public QObject {
    Q_OBJECT

public:
    // Number of controls currently bound.
    int boundControlCount() const;
    // What is wrong with the settings file behind the key, if anything (re-read when it
    // changed on disk).
    virtual std::optional<platform::SuiteReadProblem> readProblem() const = 0;

signals:
    void changed();
    // A write through this Pref was not stored: the settings file (empty when there is
    // none) and the system's description of the error.
    void writeFailed(const QString& file, const QString& error);

protected:
    explicit PrefBase(QObject* parent);
    // After a write through the Pref: on failure, the controls show the stored value again
    // and writeFailed() is emitted.
    void reportWrite(const std::optional<platform::SuiteWriteError>& failure);
    // Binds a control with a "checked" property and a toggled(bool) signal to a Boolean
    // read and write.
    void bindCheckableControl(QObject* control, std::function<bool()> read, std::function<void(bool)> write);
    // Sets every bound control's "checked" from the stored value.
    void syncControls();
    // Watches the folder of the settings file `file` for other processes' writes.
    void watchSettingsFile(const std::filesystem::path& file);

private slots:
    void controlToggled(bool checked);

private:
    void folderChanged();

    QFileSystemWatcher* watcher_ = nullptr;
    std::filesystem::path watchedFile_;
    std::vector<QPointer<QObject>> controls_;
    std::function<bool()> read_;
    std::function<void(bool)> write_;
};

template <SerializableType V>
class Pref : public PrefBase {
public:
    explicit Pref(Key<V> key, QObject* parent = nullptr)
        : PrefBase(parent), observable_(std::make_unique<Observable<V>>(std::move(key))) {
        connect(observable_.get(), &ObservableBase::objectWillChange, this, [this] {
            syncControls();
            emit changed();
        });
    }

    V wrappedValue() const { return observable_->value(); }
    // Answers why the value was not stored, or nothing (see writeFailed()).
    std::optional<platform::SuiteWriteError> setWrappedValue(const V& value) {
        auto failure = observable_->setValue(value);
        reportWrite(failure);
        return failure;
    }

    V defaultValue() const { return key().defaultValue(); }
    std::optional<platform::SuiteReadProblem> readProblem() const override {
        // Reading the value first reports a stored value of the wrong kind.
        (void)wrappedValue();
        return key().suite()->readProblem();
    }
    bool isDefaultValue() const
        requires std::equality_comparable<V>
    {
        return wrappedValue() == defaultValue();
    }
    // Removes the stored value: the default shows again.
    std::optional<platform::SuiteWriteError> reset() {
        auto failure = key().reset();
        reportWrite(failure);
        return failure;
    }

    const Key<V>& key() const { return observable_->key(); }
    void setKey(Key<V> key) {
        bool differs = key.name() != this->key().name() || key.suite() != this->key().suite();
        observable_->setKey(std::move(key));
        if (differs) {
            syncControls();
            emit changed();
        }
    }

    // Two-way binding of a checkable control (QAbstractButton, QAction) to a Boolean key.
    void bindCheckable(QObject* control)
        requires std::same_as<V, bool>
    {
        bindCheckableControl(
            control, [this] { return wrappedValue(); }, [this](bool value) { setWrappedValue(value); });
        watchSettingsFile(key().suite()->filePath());
    }

    const Observable<V>& observable() const { return *observable_; }

private:
    std::unique_ptr<Observable<V>> observable_;
};

}  // namespace vorrel::Prefs
