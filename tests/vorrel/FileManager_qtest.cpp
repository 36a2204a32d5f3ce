// Reveal in the file manager: ShowItems on a fake file manager on a private session bus
// (run under dbus-run-session), and the fall-back to the containing folder.
#include <optional>

#include <QSignalSpy>
#include <QTest>

#include "FakeFileManager.h"
#include "platform/desktop/FileManager.h"

using vorrel::platform::FileManager;
using Outcome = FileManager::RevealOutcome;
using vorrel::test::FakeFileManager;

class FileManagerTest : public QObject {
    Q_OBJECT

    static std::optional<Outcome> revealAndWait(const std::filesystem::path& path) {
        std::optional<Outcome> outcome;
        FileManager::reveal(path, [&](Outcome o) { outcome = o; });
        (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 15000);
        return outcome;
    }

private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        FileManager::setReplyTimeout(std::chrono::milliseconds(300));
    }

    void addresses_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain file") << "/home/u/.cache/g/Preview.log"
                                    << "file:///home/u/.cache/g/Preview.log" << "/home/u/.cache/g/";
        QTest::newRow("folder with slash") << "/home/u/.cache/g/tmp/" << "file:///home/u/.cache/g/tmp"
                                           << "/home/u/.cache/g/";
        QTest::newRow("spaces, newline, non-ASCII")
            << "/tmp/a b/Ünïcode\nname.log" << "file:///tmp/a%20b/%C3%9Cn%C3%AFcode%0Aname.log"
            << "/tmp/a b/";
        QTest::newRow("percent and hash") << "/tmp/50%#1.log" << "file:///tmp/50%25%231.log" << "/tmp/";
        QTest::newRow("dot segments") << "/tmp/x/../y.log" << "file:///tmp/y.log" << "/tmp/";
    }
    void addresses() {
        QFETCH(QString, path);
        QFETCH(QString, uri);
        QFETCH(QString, folder);
        const std::filesystem::path p(path.toStdString());
        QCOMPARE(FileManager::fileUri(p), uri);
        QCOMPARE(FileManager::containingFolder(p).toLocalFile(), folder);
    }

    void showItemsReachesTheFileManager() {
        FakeFileManager fake;
        QVERIFY(fake.registerOnBus());
        vorrel::test::FakeOpener opened;
        const std::filesystem::path path = "/tmp/with space/Ünïcode\nline.log";
        QCOMPARE(revealAndWait(path), Outcome::ShownByFileManager);
        QCOMPARE(fake.calls.size(), 1);
        QCOMPARE(fake.calls.first().size(), 1);
        QCOMPARE(QUrl(fake.calls.first().first()).toLocalFile(), QString::fromStdString(path.string()));
        QCOMPARE(fake.startupIds.first(), QString());
        QVERIFY(opened.urls().isEmpty());
    }

    void fallsBackToTheContainingFolder_data() {
        QTest::addColumn<int>("mode");  // -1: no file manager on the bus
        QTest::newRow("no such service") << -1;
        QTest::newRow("error reply") << int(FakeFileManager::Mode::Error);
        QTest::newRow("no reply in time") << int(FakeFileManager::Mode::Silent);
    }
    void fallsBackToTheContainingFolder() {
        QFETCH(int, mode);
        std::optional<FakeFileManager> fake;
        if (mode >= 0) {
            fake.emplace();
            fake->mode = FakeFileManager::Mode(mode);
            QVERIFY(fake->registerOnBus());
        }
        vorrel::test::FakeOpener opened;
        QCOMPARE(revealAndWait("/tmp/some folder/Preview.log"), Outcome::OpenedContainingFolder);
        QCOMPARE(opened.urls(), QList<QUrl>{QUrl::fromLocalFile("/tmp/some folder/")});
        if (fake) QCOMPARE(fake->calls.size(), 1);
    }
};

QTEST_GUILESS_MAIN(FileManagerTest)
#include "FileManager_qtest.moc"
