// Nemo's previewer on a private session bus (dbus-run-session): Space on an EPS file opens the
// preview and Space again closes it, any other file gets a card, Close() closes, and the
// program leaves the bus when idle.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <optional>

#include "quicklook/ExtensionRegistry.h"
#include "quicklook/FileCard.h"
#include "quicklook/NemoPreviewer.h"
#include "quicklook/PreviewSession.h"
#include "quicklook/QuickLookWindow.h"
#include "support/Eps.h"
#include "support/TempHome.h"

using namespace vorrel;
using vorrel::quicklook::NemoPreviewer;

namespace {

QDBusMessage showFile(const QString& uri, bool closeIfShown) {
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(NemoPreviewer::busName),
                                                       QLatin1String(NemoPreviewer::objectPath),
                                                       QLatin1String(NemoPreviewer::busName), "ShowFile");
    // Nemo passes its window's XID; 0 is what a caller without one sends.
    call << uri << 0 << closeIfShown;
    return call;
}

QDBusMessage closeCall() {
    return QDBusMessage::createMethodCall(QLatin1String(NemoPreviewer::busName),
                                          QLatin1String(NemoPreviewer::objectPath),
                                          QLatin1String(NemoPreviewer::busName), "Close");
}

}  // namespace

class NemoPreviewerTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;
    QString eps, text;

    // Nemo's side: its own connection to the bus, calls that do not wait (the previewer
    // answers on this thread).
    QDBusConnection nemo() { return QDBusConnection::connectToBus(QDBusConnection::SessionBus, "nemo"); }

private slots:
    void init() {
        home.emplace();
        eps = QString::fromStdString(home->write("files/drawing.eps", test::eps::lineArt()).string());
        text = QString::fromStdString(home->write("files/notes.txt", "a few words\n").string());
    }
    void cleanup() { home.reset(); }

    void spaceOpensThePreviewAndSpaceAgainClosesIt() {
        quicklook::ExtensionRegistry registry(QStringLiteral(VORREL_PLUGIN_FOLDER));
        NemoPreviewer previewer(registry);
        QDBusConnection bus = QDBusConnection::sessionBus();
        QString error;
        QVERIFY2(previewer.publish(bus, &error), qPrintable(error));

        const QString uri = QUrl::fromLocalFile(eps).toString();
        nemo().asyncCall(showFile(uri, true));
        QTRY_VERIFY(qobject_cast<quicklook::QuickLookWindow*>(previewer.shown()));
        auto* window = qobject_cast<quicklook::QuickLookWindow*>(previewer.shown());
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible() && window->session() &&
                                     window->session()->state() ==
                                         quicklook::PreviewSession::State::Succeeded,
                                 60000);
        QCOMPARE(previewer.shownFile(), QUrl(uri));

        // Without closeIfShown the same file stays shown.
        nemo().asyncCall(showFile(uri, false));
        QTRY_VERIFY(qobject_cast<quicklook::QuickLookWindow*>(previewer.shown()));

        nemo().asyncCall(showFile(uri, true));
        QTRY_VERIFY(!previewer.shown());
    }

    void anyOtherFileGetsACardThatOpensIt() {
        quicklook::ExtensionRegistry registry(QStringLiteral(VORREL_PLUGIN_FOLDER));
        NemoPreviewer previewer(registry);
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(previewer.publish(bus, nullptr));

        nemo().asyncCall(showFile(QUrl::fromLocalFile(eps).toString(), true));
        QTRY_VERIFY(qobject_cast<quicklook::QuickLookWindow*>(previewer.shown()));
        // Another file replaces the preview, whatever closeIfShown says.
        nemo().asyncCall(showFile(QUrl::fromLocalFile(text).toString(), true));
        QTRY_VERIFY(qobject_cast<quicklook::FileCard*>(previewer.shown()));
        auto* card = qobject_cast<quicklook::FileCard*>(previewer.shown());
        QVERIFY(card->isVisible());
        QCOMPARE(card->nameText(), QStringLiteral("notes.txt"));
        QVERIFY2(card->typeText().contains("text", Qt::CaseInsensitive), qPrintable(card->typeText()));
        QVERIFY2(card->sizeText().startsWith("12"), qPrintable(card->sizeText()));
        QCOMPARE(card->openButton()->text(), QStringLiteral("Open"));

        nemo().asyncCall(closeCall());
        QTRY_VERIFY(!previewer.shown());
    }

    void idleForTheWholeDelaySaysSoOnlyWithNothingShown() {
        quicklook::ExtensionRegistry registry(QStringLiteral(VORREL_PLUGIN_FOLDER));
        NemoPreviewer previewer(registry, std::chrono::milliseconds(300));
        QSignalSpy idle(&previewer, &NemoPreviewer::idle);
        previewer.ShowFile(QUrl::fromLocalFile(text).toString(), 0, true);
        QTest::qWait(600);
        QCOMPARE(idle.count(), 0);
        previewer.Close();
        QTRY_COMPARE(idle.count(), 1);
    }

    void theProgramTakesTheNameOnceAndLeavesWhenIdle() {
        const auto start = [this](QProcess& process) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home->configHome().string()));
            environment.insert("XDG_CACHE_HOME", QString::fromStdString(home->cacheHome().string()));
            environment.insert("QT_QPA_PLATFORM", "offscreen");
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(VORREL_PREFIX_DIR "/bin/vorrel-quicklook"),
                          {"--nemo-previewer", "--idle-exit-ms", "1500"});
        };
        QProcess first;
        start(first);
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(QLatin1String(NemoPreviewer::busName)), 20000);

        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("org.nemo.Preview"));

        const QDBusMessage reply = QDBusConnection::sessionBus().call(showFile(QUrl::fromLocalFile(text).toString(), true));
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QDBusConnection::sessionBus().call(closeCall());
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(!bus->isServiceRegistered(QLatin1String(NemoPreviewer::busName)));
    }
};

QTEST_MAIN(NemoPreviewerTest)
#include "NemoPreviewer_bus.moc"
