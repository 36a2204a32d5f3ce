// One application instance per session, with real processes: the `vorrel` program launched
// while another instance runs ends at once and that instance's window comes to the front,
// over a private session bus (run under dbus-run-session) and over the local socket used
// where there is no bus. The first instance is either this test process (so that its
// window can be watched) or a second `vorrel` program.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "platform/desktop/SingleInstance.h"
#include "support/TempHome.h"
#include "vorrel/MainWindow.h"
#include "vorrel/VorrelApp.h"

using namespace vorrel;
using platform::SingleInstance;

namespace {

const QString applicationId = QStringLiteral("com.quarnix.Vorrel");  // the program's bundle identifier

// The `vorrel` program with this test's environment (its temporary home), offscreen,
// with or without the session bus, launched with the given tokens (none when empty).
void prepare(QProcess& process, bool withBus, const platform::LaunchToken& launch = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!withBus) environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
    environment.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
    if (!launch.activationToken.isEmpty())
        environment.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), launch.activationToken);
    if (!launch.startupId.isEmpty()) environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), launch.startupId);
    process.setProcessEnvironment(environment);
    process.setProgram(QStringLiteral(VORREL_HOST_PROGRAM));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

// Runs a second launch to its end while this process keeps serving its event loop.
int secondLaunch(bool withBus, const platform::LaunchToken& launch = {}) {
    QProcess second;
    prepare(second, withBus, launch);
    QSignalSpy finished(&second, &QProcess::finished);
    second.start();
    if (!finished.wait(60000)) {
        second.kill();
        second.waitForFinished();
        return -1;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -2;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempHome> home_;

private slots:
    void init() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        home_ = std::make_unique<test::TempHome>();
        // The local socket lives in the runtime folder: this test's own.
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(home_->root().string()));
        SingleInstance::setActivationTimeout(std::chrono::seconds(5));
    }
    void cleanup() {
        qunsetenv("XDG_RUNTIME_DIR");
        home_.reset();
    }

    // The later launch's tokens reach the running instance unchanged, whatever they hold
    // (the socket's line format has spaces, '=' and '%' of its own).
    void secondLaunchRaisesTheRunningWindow_data() {
        QTest::addColumn<bool>("withBus");
        QTest::addColumn<platform::LaunchToken>("launch");
        const platform::LaunchToken both{QStringLiteral("a1b2 c3=d4%25"),
                                         QStringLiteral("launcher/vorrel/42-0-host_TIME31337")};
        QTest::newRow("session bus") << true << both;
        QTest::newRow("session bus, Wayland token only")
            << true << platform::LaunchToken{QStringLiteral("4c1e0c39-8b6d-4a2e-9f0a-6a0b5d2c7e11"), {}};
        QTest::newRow("session bus, no token") << true << platform::LaunchToken{};
        QTest::newRow("local socket, no bus") << false << both;
        QTest::newRow("local socket, startup id only")
            << false << platform::LaunchToken{{}, QStringLiteral("launcher/vorrel/7_TIME99")};
        QTest::newRow("local socket, no token") << false << platform::LaunchToken{};
    }
    void secondLaunchRaisesTheRunningWindow() {
        QFETCH(bool, withBus);
        QFETCH(platform::LaunchToken, launch);
        SingleInstance instance(applicationId,
                                withBus ? SingleInstance::Transport::Automatic : SingleInstance::Transport::LocalSocket);
        QVERIFY(instance.isPrimary());
        QCOMPARE(instance.channel(),
                 withBus ? SingleInstance::Channel::SessionBus : SingleInstance::Channel::LocalSocket);
        VorrelApp app;
        MainWindow* window = app.showWindow();
        connect(&instance, &SingleInstance::activationRequested, &app, &VorrelApp::raiseWindow);
        // Another window of the desktop is in front; ours is minimized.
        QWidget other;
        other.show();
        window->showMinimized();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        QVERIFY(window->isMinimized());

        QSignalSpy activations(&instance, &SingleInstance::activationRequested);
        QCOMPARE(secondLaunch(withBus, launch), 0);
        QCOMPARE(activations.size(), 1);
        const auto received = activations.front().front().value<platform::LaunchToken>();
        QCOMPARE(received.activationToken, launch.activationToken);
        QCOMPARE(received.startupId, launch.startupId);
        QTRY_VERIFY(!window->isMinimized());
        QTRY_COMPARE(QApplication::activeWindow(), window);
        QCOMPARE(QApplication::topLevelWidgets().count(window), 1);
    }

    void twoProgramsOnOneBus() {
        QProcess first;
        prepare(first, true);
        first.start();
        QVERIFY(first.waitForStarted());
        auto stop = qScopeGuard([&] {
            first.terminate();
            if (!first.waitForFinished(10000)) {
                first.kill();
                first.waitForFinished();
            }
        });
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(applicationId), 30000);
        QCOMPARE(bus->servicePid(applicationId).value(), uint(first.processId()));

        QCOMPARE(secondLaunch(true), 0);
        QCOMPARE(first.state(), QProcess::Running);  // the first one keeps running
        QCOMPARE(bus->servicePid(applicationId).value(), uint(first.processId()));
    }

    void staleOrSilentSocketsDoNotBlockTheStart() {
        SingleInstance::setActivationTimeout(std::chrono::milliseconds(300));
        const QString path = SingleInstance::socketPath(applicationId);
        QVERIFY(path.startsWith(QString::fromStdString(home_->root().string())));
        {
            // A socket file left by an instance that was killed.
            QFile stale(path);
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        auto first = std::make_unique<SingleInstance>(applicationId, SingleInstance::Transport::LocalSocket);
        QVERIFY(first->isPrimary());
        QCOMPARE(first->channel(), SingleInstance::Channel::LocalSocket);
        // An instance that accepts but never answers (this thread is busy) is given up on:
        // the launch starts, beside it and without taking its socket.
        SingleInstance second(applicationId, SingleInstance::Transport::LocalSocket);
        QVERIFY(second.isPrimary());
        QCOMPARE(second.channel(), SingleInstance::Channel::None);
        QVERIFY(QFile::exists(path));
        first.reset();
        QVERIFY(!QFile::exists(path));  // the socket goes with its instance
        QVERIFY(!QFile::exists(path + ".lock"));
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstance_qtest.moc"
