#include "platform/desktop/SingleInstance.h"

#include <atomic>

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QVariantMap>

namespace vorrel::platform {

namespace {

std::atomic<int> activationTimeoutMs{5000};

const QString applicationInterface = QStringLiteral("org.freedesktop.Application");
const QByteArray activateRequest = "activate\n";
const QByteArray activateAnswer = "ok\n";

}  // namespace

// The primary's face on the bus: the part of org.freedesktop.Application a launch needs.
class ApplicationObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationObject(SingleInstance* owner) : QObject(owner), owner_(owner) {}

public slots:
    void Activate(const QVariantMap& platformData) {
        Q_UNUSED(platformData);
        emit owner_->activationRequested();
    }

private:
    SingleInstance* owner_;
};

void SingleInstance::setActivationTimeout(std::chrono::milliseconds timeout) {
    activationTimeoutMs = static_cast<int>(timeout.count());
}

QString SingleInstance::objectPath(const QString& id) {
    QString path = QLatin1Char('/') + id;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    path.replace(QLatin1Char('-'), QLatin1Char('_'));
    return path;
}

QString SingleInstance::socketPath(const QString& id) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return QDir(runtime).filePath(id + QStringLiteral(".instance"));
    // The temporary folder is shared by every user: the name says whose it is.
    return QDir(QDir::tempPath()).filePath(QStringLiteral("%1-%2.instance").arg(id).arg(getuid()));
}

SingleInstance::SingleInstance(const QString& id, Transport transport, QObject* parent)
    : QObject(parent) {
    if (transport == Transport::Automatic && QDBusConnection::sessionBus().isConnected())
        claimOnBus(id);
    else
        claimLocalSocket(id);
}

SingleInstance::~SingleInstance() {
    if (!busName_.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(busName_);
        bus.unregisterObject(busObject_->objectName());
    }
    // The server's destructor removes the socket file.
}

void SingleInstance::claimOnBus(const QString& id) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString path = objectPath(id);
    // Exported before the name is taken: a launch that sees the name finds the object.
    busObject_ = new ApplicationObject(this);
    busObject_->setObjectName(path);
    if (!bus.registerObject(path, busObject_, QDBusConnection::ExportAllSlots)) return;
    if (bus.registerService(id)) {
        busName_ = id;
        channel_ = Channel::SessionBus;
        return;
    }
    bus.unregisterObject(path);
    // Taken: hand over to its owner.
    QDBusMessage call = QDBusMessage::createMethodCall(id, path, applicationInterface, QStringLiteral("Activate"));
    call << QVariantMap();
    const QDBusMessage reply = bus.call(call, QDBus::Block, activationTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        primary_ = false;
        channel_ = Channel::SessionBus;
    }
}

void SingleInstance::claimLocalSocket(const QString& id) {
    const QString path = socketPath(id);
    // Connect-or-listen must be one step, or two launches could both find no one and
    // both listen (the second removing the first's socket).
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(activationTimeoutMs)) return;

    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(activationTimeoutMs)) {
        socket.write(activateRequest);
        socket.waitForBytesWritten(activationTimeoutMs);
        while (socket.bytesAvailable() < activateAnswer.size() && socket.waitForReadyRead(activationTimeoutMs)) {
        }
        if (socket.readAll() == activateAnswer) {
            primary_ = false;
            channel_ = Channel::LocalSocket;
            return;
        }
        // Connected but silent: a hung instance. Run beside it without taking its socket.
        return;
    }

    QLocalServer::removeServer(path);  // a socket left by an instance that was killed
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        server_.reset();
        return;
    }
    channel_ = Channel::LocalSocket;
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine()) {
                    // A client that sends no line in a sane size is not one of ours.
                    if (client->bytesAvailable() > 64) client->abort();
                    return;
                }
                const bool activate = client->readLine(64) == activateRequest;
                if (activate) client->write(activateAnswer);
                client->disconnectFromServer();
                if (activate) emit activationRequested();
            });
        }
    });
}

}  // namespace vorrel::platform

#include "SingleInstance.moc"
// The header's meta-object here, not in the library's shared moc unit: a program that does not
// use this class then links neither it nor the network module it needs.
#include "moc_SingleInstance.cpp"
