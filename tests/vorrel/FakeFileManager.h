#pragma once
// A stand-in file manager on the session bus: serves org.freedesktop.FileManager1 at
// /org/freedesktop/FileManager1 and records ShowItems calls. It can also answer with an
// error or not at all. Plus a stand-in for the desktop's opener.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QTemporaryDir>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace vorrel::test {

class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    enum class Mode { Accept, Error, Silent };
    Mode mode = Mode::Accept;
    QList<QStringList> calls;
    QStringList startupIds;

    // Its own connection, so that calls from the code under test travel through the bus
    // daemon as they would to a real file manager.
    bool registerOnBus() {
        auto bus = connection();
        return bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    }
    ~FakeFileManager() override {
        auto bus = connection();
        bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
    }

private:
    static QDBusConnection connection() {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                             QStringLiteral("fake-file-manager"));
    }

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        calls << uris;
        startupIds << startupId;
        if (mode == Mode::Error) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("cannot show"));
        } else if (mode == Mode::Silent) {
            setDelayedReply(true);  // and never reply
        }
    }
};

// A stand-in `xdg-open` first on PATH for its lifetime: records what it was asked to open
// and exits with the given status (3 is xdg-open's "no program handles this"). With no
// script at all, PATH holds only an empty folder: there is no opener.
class FakeOpener {
public:
    enum class Kind { Script, None };
    explicit FakeOpener(int exitStatus = 0, Kind kind = Kind::Script) : path_(qgetenv("PATH")) {
        if (kind == Kind::Script) {
            QFile script(dir_.filePath(QStringLiteral("xdg-open")));
            (void)script.open(QIODevice::WriteOnly);
            script.write("#!/bin/sh\nprintf '%s\\0' \"$1\" >> \"$(dirname \"$0\")/opened\"\nexit " +
                         QByteArray::number(exitStatus) + "\n");
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(dir_.path()) + (kind == Kind::Script ? ":" + path_ : QByteArray()));
    }
    ~FakeOpener() { qputenv("PATH", path_); }

    // What was handed over, in order: a local path as a file: address.
    QList<QUrl> urls() const {
        QFile log(dir_.filePath(QStringLiteral("opened")));
        QList<QUrl> result;
        if (!log.open(QIODevice::ReadOnly)) return result;
        for (const QByteArray& item : log.readAll().split('\0')) {
            if (item.isEmpty()) continue;
            const QString text = QFile::decodeName(item);
            result << (text.startsWith(u'/') ? QUrl::fromLocalFile(text) : QUrl(text));
        }
        return result;
    }

private:
    QTemporaryDir dir_;
    QByteArray path_;
};

}  // namespace vorrel::test
