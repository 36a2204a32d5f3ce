#pragma once
// FolderListing: the files of one folder that the service previews, in the order a file
// manager shows them, kept current while the folder changes.
//
// list(folder, servedTypes) reads the folder: its regular files (links followed), hidden ones
// ("."-names) left out, that shared-mime-info types (name first, then content) as one of
// `servedTypes` or a descendant of one; sorted by naturalLess().
// start() runs list() on a worker thread and emits listed() on the GUI thread with the result;
// it then watches the folder and lists it again, once the changes have settled, whenever files
// come or go. Destroying the object stops a listing under way (its result is dropped) and the
// watch, waiting for the listing's thread (it ends within one file's type check). The first call of start() never blocks on the folder: a folder of thousands of files
// costs the GUI thread nothing.
//
// Thread-safety: the object lives on the GUI thread; list() and naturalLess() are plain
// functions callable from any thread.

#include <QObject>
#include <QStringList>

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

class QFileSystemWatcher;
class QTimer;

namespace vorrel::quicklook {

class FolderListing : public QObject {
    Q_OBJECT
public:
    // How long the folder must be still before it is listed again.
    static constexpr int kSettleMs = 150;

    FolderListing(std::filesystem::path folder, QStringList servedTypes, QObject* parent = nullptr);
    ~FolderListing() override;

    void start();
    const std::filesystem::path& folder() const { return folder_; }

    static std::vector<std::filesystem::path> list(const std::filesystem::path& folder,
                                                   const QStringList& servedTypes,
                                                   const std::atomic<bool>* stop = nullptr);
    // Natural, case-insensitive order of the file names ("fig-2" before "Fig-10"); names that
    // compare equal so are ordered by their bytes, so the order is total.
    static bool naturalLess(const std::filesystem::path& a, const std::filesystem::path& b);

signals:
    void listed(std::vector<std::filesystem::path> files);

private:
    void listNow();

    std::filesystem::path folder_;
    QStringList servedTypes_;
    std::shared_ptr<std::atomic<bool>> stop_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* settle_ = nullptr;
    bool running_ = false;
    bool again_ = false;
};

}  // namespace vorrel::quicklook
