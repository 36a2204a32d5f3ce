#include "quicklook/FolderListing.h"

#include <QCollator>
#include <QCoreApplication>
#include <QFile>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QMimeDatabase>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace vorrel::quicklook {

namespace {

QString nameOf(const fs::path& file) { return QFile::decodeName(file.filename().c_str()); }

QCollator naturalCollator() {
    // Qt compares by code points alone in the C locale, numbers and case included; such a
    // session gets the order of English instead.
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Listings share no thread with conversions or Qt's global pool.
QThreadPool& listingThreads() {
    static QThreadPool* pool = [] {
        auto* threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return *pool;
}

}  // namespace

FolderListing::FolderListing(fs::path folder, QStringList servedTypes, QObject* parent)
    : QObject(parent),
      folder_(std::move(folder)),
      servedTypes_(std::move(servedTypes)),
      stop_(std::make_shared<std::atomic<bool>>(false)) {}

FolderListing::~FolderListing() {
    // A stopped listing ends within one file's type check; waiting for it keeps its thread
    // from outliving the program's objects.
    stop_->store(true);
    if (running_) listingThreads().waitForDone();
}

bool FolderListing::naturalLess(const fs::path& a, const fs::path& b) {
    thread_local const QCollator collator = naturalCollator();
    const int order = collator.compare(nameOf(a), nameOf(b));
    if (order != 0) return order < 0;
    return a.filename().native() < b.filename().native();
}

std::vector<fs::path> FolderListing::list(const fs::path& folder, const QStringList& servedTypes,
                                          const std::atomic<bool>* stop) {
    std::vector<fs::path> files;
    const QMimeDatabase types;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (stop && stop->load()) return {};
        const fs::path& path = entry->path();
        if (path.filename().native().starts_with('.')) continue;
        std::error_code ignored;
        if (!entry->is_regular_file(ignored)) continue;
        const QMimeType type = types.mimeTypeForFile(QFile::decodeName(path.c_str()));
        if (std::any_of(servedTypes.begin(), servedTypes.end(),
                        [&](const QString& name) { return type.inherits(name); }))
            files.push_back(path);
    }
    std::sort(files.begin(), files.end(), naturalLess);
    return files;
}

void FolderListing::start() {
    if (!watcher_) {
        watcher_ = new QFileSystemWatcher(this);
        watcher_->addPath(QFile::decodeName(folder_.c_str()));
        settle_ = new QTimer(this);
        settle_->setSingleShot(true);
        settle_->setInterval(kSettleMs);
        connect(settle_, &QTimer::timeout, this, &FolderListing::listNow);
        connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_,
                qOverload<>(&QTimer::start));
    }
    listNow();
}

void FolderListing::listNow() {
    if (running_) {
        again_ = true;
        return;
    }
    running_ = true;
    again_ = false;
    QPointer<FolderListing> self(this);
    listingThreads().start([self, stop = stop_, folder = folder_, types = servedTypes_] {
        auto files = list(folder, types, stop.get());
        if (stop->load()) return;
        // The application object outlives every listing; the guard says whether this one is
        // still there when the result arrives.
        QMetaObject::invokeMethod(
            qApp,
            [self, files = std::move(files)]() mutable {
                if (!self) return;
                self->running_ = false;
                emit self->listed(std::move(files));
                if (self && self->again_) self->listNow();
            },
            Qt::QueuedConnection);
    });
}

}  // namespace vorrel::quicklook
