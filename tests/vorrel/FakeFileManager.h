#pragma once
// A stand-in file manager on the session bus: serves org.freedesktop.FileManager1 at
// /org/freedesktop/FileManager1 and records ShowItems calls. It can also answer with an
// error or not at all. Plus a catcher for file: addresses handed to QDesktopServices.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDesktopServices>
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

// Receives what would have been opened with the desktop's default handler.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
    explicit OpenedUrls(const QString& scheme = QStringLiteral("file")) : scheme_(scheme) {
        QDesktopServices::setUrlHandler(scheme_, this, "open");
    }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(scheme_); }
public slots:
    void open(const QUrl& url) { urls << url; }
private:
    QString scheme_;
};

}  // namespace vorrel::test
