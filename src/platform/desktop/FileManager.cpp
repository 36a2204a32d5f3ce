#include "platform/desktop/FileManager.h"

#include <atomic>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>

#include "platform/desktop/Launcher.h"

namespace vorrel::platform {

namespace {

std::atomic<int> replyTimeoutMs{5000};

QString localPath(const std::filesystem::path& path) {
    // File names are bytes; decode them the way Qt does for every other file name.
    return QFile::decodeName(QByteArray::fromStdString(path.lexically_normal().string()));
}

template <typename Finish>
void openContainingFolder(const std::filesystem::path& path, Finish finish) {
    Launcher::open(FileManager::containingFolder(path), [finish](Launcher::Outcome outcome) {
        finish(outcome == Launcher::Outcome::Opened ? FileManager::RevealOutcome::OpenedContainingFolder
                                                    : FileManager::RevealOutcome::Failed);
    });
}

}  // namespace

void FileManager::setReplyTimeout(std::chrono::milliseconds timeout) {
    replyTimeoutMs = static_cast<int>(timeout.count());
}

QString FileManager::fileUri(const std::filesystem::path& path) {
    auto normal = path.lexically_normal();
    // ShowItems selects the item itself, so a folder is named without its trailing slash.
    if (!normal.has_filename() && normal.has_parent_path() && normal != normal.root_path())
        normal = normal.parent_path();
    return QString::fromLatin1(
        QUrl::fromLocalFile(localPath(normal)).toEncoded(QUrl::FullyEncoded));
}

QUrl FileManager::containingFolder(const std::filesystem::path& path) {
    auto normal = path.lexically_normal();
    if (!normal.has_filename() && normal != normal.root_path()) normal = normal.parent_path();
    auto parent = normal.parent_path();
    if (parent.empty()) parent = ".";
    return QUrl::fromLocalFile(localPath(parent) + QLatin1Char('/'));
}

void FileManager::reveal(const std::filesystem::path& path, Completion done) {
    auto finish = [done = std::move(done)](RevealOutcome outcome) {
        if (done) done(outcome);
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return openContainingFolder(path, finish);

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUri(path)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, replyTimeoutMs), nullptr);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [path, finish](QDBusPendingCallWatcher* self) {
                         self->deleteLater();
                         if (self->isError()) return openContainingFolder(path, finish);
                         finish(RevealOutcome::ShownByFileManager);
                     });
}

}  // namespace vorrel::platform
