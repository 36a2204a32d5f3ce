#include "settings/binding/Pref.h"

#include <algorithm>

#include <QFileSystemWatcher>
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

void PrefBase::watchSettingsFile(const std::filesystem::path& file) {
    if (file.empty() || file == watchedFile_) return;
    watchedFile_ = file;
    delete watcher_;
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &PrefBase::folderChanged);
    folderChanged();
}

void PrefBase::folderChanged() {
    // Watch the file's folder, or while it does not exist the nearest parent that does.
    std::error_code error;
    std::filesystem::path folder = watchedFile_.parent_path();
    while (!folder.empty() && folder != folder.root_path() && !std::filesystem::is_directory(folder, error))
        folder = folder.parent_path();
    const QString wanted = QString::fromStdString(folder.string());
    const QStringList watched = watcher_->directories();
    if (watched != QStringList{wanted}) {
        if (!watched.isEmpty()) watcher_->removePaths(watched);
        watcher_->addPath(wanted);
    }
    if (!read_) return;
    const bool value = read_();
    const bool differs = std::any_of(controls_.begin(), controls_.end(), [value](const QPointer<QObject>& c) {
        return c && c->property("checked").toBool() != value;
    });
    if (!differs) return;
    syncControls();
    emit changed();
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
