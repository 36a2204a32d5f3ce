#include "platform/desktop/SingleInstance.h"

#include <atomic>
#include <optional>

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QUrl>
#include <QVariantMap>

namespace vorrel::platform {

namespace {

std::atomic<int> activationTimeoutMs{5000};

const QString applicationInterface = QStringLiteral("org.freedesktop.Application");
const QByteArray activateVerb = "activate";
const QByteArray activateAnswer = "ok\n";
// Tokens are short (a UUID, or an X11 startup id of some tens of bytes); a line longer than
// this is not one of ours.
constexpr qint64 maximumRequest = 4096;

QByteArray activateRequest(const LaunchToken& launch) {
    QByteArray line = activateVerb;
    const QVariantMap data = launch.platformData();
    for (auto it = data.cbegin(); it != data.cend(); ++it)
        line += ' ' + it.key().toUtf8() + '=' + QUrl::toPercentEncoding(it.value().toString());
    return line + '\n';
}

// The token of a request line, or nothing when the line is not a request.
std::optional<LaunchToken> parseRequest(QByteArray line) {
    if (!line.endsWith('\n')) return std::nullopt;
    line.chop(1);
    const QList<QByteArray> fields = line.split(' ');
    if (fields.front() != activateVerb) return std::nullopt;
    QVariantMap data;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const qsizetype equals = fields[i].indexOf('=');
        if (equals <= 0) return std::nullopt;
        data.insert(QString::fromUtf8(fields[i].left(equals)),
                    QString::fromUtf8(QByteArray::fromPercentEncoding(fields[i].mid(equals + 1))));
    }
    return LaunchToken::fromPlatformData(data);
}

}  // namespace

// The primary's face on the bus: the part of org.freedesktop.Application a launch needs.
class ApplicationObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationObject(SingleInstance* owner) : QObject(owner), owner_(owner) {}

public slots:
    void Activate(const QVariantMap& platformData) {
        emit owner_->activationRequested(LaunchToken::fromPlatformData(platformData));
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

SingleInstance::SingleInstance(const QString& id, Transport transport, const LaunchToken& launch,
                               QObject* parent)
    : QObject(parent) {
    if (transport == Transport::Automatic && QDBusConnection::sessionBus().isConnected())
        claimOnBus(id, launch);
    else
        claimLocalSocket(id, launch);
}

SingleInstance::~SingleInstance() {
    if (!busName_.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(busName_);
        bus.unregisterObject(busObject_->objectName());
    }
    // The server's destructor removes the socket file.
}

void SingleInstance::claimOnBus(const QString& id, const LaunchToken& launch) {
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
    call << launch.platformData();
    const QDBusMessage reply = bus.call(call, QDBus::Block, activationTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        primary_ = false;
        channel_ = Channel::SessionBus;
    }
}

void SingleInstance::claimLocalSocket(const QString& id, const LaunchToken& launch) {
    const QString path = socketPath(id);
    // Connect-or-listen must be one step, or two launches could both find no one and
    // both listen (the second removing the first's socket).
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(activationTimeoutMs)) return;

    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(activationTimeoutMs)) {
        socket.write(activateRequest(launch));
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
                    if (client->bytesAvailable() > maximumRequest) client->abort();
                    return;
                }
                const auto token = parseRequest(client->readLine(maximumRequest + 1));
                if (token) client->write(activateAnswer);
                client->disconnectFromServer();
                if (token) emit activationRequested(*token);
            });
        }
    });
}

}  // namespace vorrel::platform

#include "SingleInstance.moc"
// The header's meta-object here, not in the library's shared moc unit: a program that does not
// use this class then links neither it nor the network module it needs.
#include "moc_SingleInstance.cpp"
