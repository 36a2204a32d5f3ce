#pragma once
// SingleInstance: one running instance of an application per user session. A later
// launch hands over to the running one (which brings its window to the front) and ends.
//
// Construction claims the instance for an application id (reverse DNS, "com.example.App"):
//
//   Session bus (when connected): exports an org.freedesktop.Application object at the
//   id's path ("/com/example/App"), then asks for the well-known name `id` without
//   queueing. Granted: primary. Taken: calls Activate on the owner: secondary.
//   Local socket (no bus): under a lock file, connects to "<id>.instance" in
//   $XDG_RUNTIME_DIR (else the temporary folder, the name carrying the user id). An answer
//   means secondary, after sending the activation; otherwise a stale socket is removed
//   and this instance listens there (owner-only access): primary.
//
// A running instance that does not answer the activation in time (hung, ending) does not
// keep this one from starting: it becomes primary without the name. The primary emits
// activationRequested(token) for every later launch, with the LaunchToken that launch was
// given (its XDG activation token and startup id), so that the window it raises may take
// the focus: as Activate's platform data on the bus ("activation-token",
// "desktop-startup-id"), as "activate key=value…\n" (values percent-encoded) on the
// socket. The socket file goes with the object.
//
// Thread-safety: GUI thread only, once QCoreApplication exists.

#include <chrono>
#include <memory>

#include <QObject>
#include <QString>

#include "platform/desktop/LaunchToken.h"

class QLocalServer;

namespace vorrel::platform {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Transport { Automatic, LocalSocket };
    enum class Channel { SessionBus, LocalSocket, None };

    // `launch`: what this launch was given (LaunchToken::fromEnvironment() in main()).
    explicit SingleInstance(const QString& id, Transport transport = Transport::Automatic,
                            const LaunchToken& launch = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process should run; false when the running instance was activated.
    bool isPrimary() const { return primary_; }
    // How the instance was claimed or handed over; None when neither worked.
    Channel channel() const { return channel_; }

    static QString objectPath(const QString& id);
    static QString socketPath(const QString& id);
    // How long a later launch waits for the running instance (5 s unless changed).
    static void setActivationTimeout(std::chrono::milliseconds timeout);

signals:
    void activationRequested(const vorrel::platform::LaunchToken& token);

private:
    void claimOnBus(const QString& id, const LaunchToken& launch);
    void claimLocalSocket(const QString& id, const LaunchToken& launch);

    bool primary_ = true;
    Channel channel_ = Channel::None;
    QObject* busObject_ = nullptr;
    QString busName_;
    std::unique_ptr<QLocalServer> server_;

    friend class ApplicationObject;
};

}  // namespace vorrel::platform
