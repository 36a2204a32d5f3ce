// The updater against feeds served on 127.0.0.1: results, failures of every kind, the
// canCheckForUpdates state and the automatic-check schedule.
#include <QSignalSpy>
#include <QTest>

#include "support/LoopbackHttpServer.h"
#include "settings/Suite.h"
#include "updates/UpdaterController.h"
#include "support/TempHome.h"

using namespace vorrel::platform;
using Outcome = UpdateCheckResult::Outcome;

namespace {

class RecordingDriver : public UserDriver {
public:
    QStringList shown;
    void showUpToDate(const QString& current) override { shown << "up-to-date " + current; }
    void showUpdateFound(const AppcastItem& item, const QString& current) override {
        shown << "found " + item.version + " over " + current;
    }
    void showUpdateError(const QString& reason, const QString& detail) override {
        shown << "error " + reason + (detail.isEmpty() ? QString() : " | " + detail);
    }
};

QByteArray feed(const QList<QByteArray>& items) {
    QByteArray xml = "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Vorrel</title>";
    for (const auto& item : items) xml += "<item>" + item + "</item>";
    return xml + "</channel></rss>";
}

QByteArray item(const QByteArray& version, const QByteArray& link = "https://example.org/v") {
    return "<title>Vorrel " + version + "</title><version>" + version + "</version><link>" +
           link + "</link><releaseNotesLink>https://example.org/notes</releaseNotesLink>";
}

}  // namespace

class UpdaterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<vorrel::test::TempHome> home_;
    std::unique_ptr<vorrel::test::LoopbackHttpServer> server_;

    std::unique_ptr<Updater> makeUpdater(RecordingDriver& driver, const QString& feedPath,
                                         const char* running = "1.2") {
        Dictionary info = vorrel::test::testInfoDictionary();
        info["CFBundleShortVersionString"] = Value{running};
        info["SUFeedURL"] = Value{server_->url(feedPath).toStdString()};
        auto updater = std::make_unique<Updater>(Bundle(info), Suite::open("updater-test"), driver);
        updater->setTimeout(std::chrono::milliseconds(500));
        return updater;
    }

    static UpdateCheckResult runCheck(Updater& updater) {
        QSignalSpy finished(&updater, &Updater::finished);
        updater.checkForUpdates();
        if (finished.isEmpty()) finished.wait(10000);
        return finished.isEmpty() ? UpdateCheckResult{}
                                  : finished.first().first().value<UpdateCheckResult>();
    }

private slots:
    void init() {
        home_ = std::make_unique<vorrel::test::TempHome>();
        server_ = std::make_unique<vorrel::test::LoopbackHttpServer>();
        QVERIFY(server_->isListening());
        using R = vorrel::test::LoopbackHttpServer::Route;
        server_->route("/newer", R{200, feed({item("1.1"), item("1.10"), item("1.9")})});
        server_->route("/same", R{200, feed({item("1.2.0")})});
        server_->route("/older", R{200, feed({item("0.9"), item("1.1.99")})});
        server_->route("/malformed", R{200, "<rss version=\"2.0\"><channel><item><version>2.0"});
        server_->route("/html", R{200, "<html><body>moved</body></html>"});
        server_->route("/wrong-types", R{200, feed({"<version>two</version>", "<version>1..3</version>",
                                                    "<version><b>9</b></version>"})});
        server_->route("/entities", R{200, "<!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">]>" +
                                               feed({item("9.0")})});
        server_->route("/huge", R{200, QByteArray(2 << 20, 'x')});
        server_->route("/huge-unannounced", R{200, feed({item("3.0") + QByteArray(2 << 20, ' ')}),
                                              false, true});
        server_->route("/silent", R{200, {}, true});
        server_->route("/unsafe", R{200, feed({item("5.0", "javascript:alert(1)")})});
    }
    void cleanup() {
        server_.reset();
        home_.reset();
    }

    void checkResults_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("detail");  // newest version, or a word of the error
        QTest::newRow("newer version, not listed first") << "/newer" << int(Outcome::UpdateAvailable) << "1.10";
        QTest::newRow("same version, other spelling") << "/same" << int(Outcome::UpToDate) << "1.2.0";
        QTest::newRow("only older versions") << "/older" << int(Outcome::UpToDate) << "1.1.99";
        QTest::newRow("malformed XML") << "/malformed" << int(Outcome::Failed) << "not valid XML";
        QTest::newRow("not an RSS document") << "/html" << int(Outcome::Failed) << "not an RSS";
        QTest::newRow("versions of the wrong type") << "/wrong-types" << int(Outcome::Failed) << "no release";
        QTest::newRow("document type declaration") << "/entities" << int(Outcome::Failed) << "not valid XML";
        QTest::newRow("404") << "/missing" << int(Outcome::Failed) << "404";
        QTest::newRow("huge body, announced") << "/huge" << int(Outcome::Failed) << "larger than";
        QTest::newRow("huge body, unannounced") << "/huge-unannounced" << int(Outcome::Failed) << "larger than";
        QTest::newRow("no answer within the limit") << "/silent" << int(Outcome::Failed) << "did not answer";
    }
    void checkResults() {
        QFETCH(QString, path);
        QFETCH(int, outcome);
        QFETCH(QString, detail);
        RecordingDriver driver;
        auto updater = makeUpdater(driver, path);
        const auto result = runCheck(*updater);
        QCOMPARE(int(result.outcome), outcome);
        QVERIFY(result.userInitiated);
        QCOMPARE(driver.shown.size(), 1);
        if (outcome == int(Outcome::Failed)) {
            QVERIFY2(result.error.contains(detail), qPrintable(result.error));
            QVERIFY(result.errorDetail.isEmpty());  // these are all our own sentences
            QCOMPARE(driver.shown.first(), "error " + result.error);
        } else {
            QVERIFY(result.item);
            QCOMPARE(result.item->version, detail);
            QCOMPARE(result.item->link, QUrl("https://example.org/v"));
        }
        QVERIFY(updater->canCheckForUpdates());
        QVERIFY(updater->lastUpdateCheckDate());  // every finished check counts
    }

    void networkFailuresAreToldInOurWords() {
        // A port nobody listens on: the connection is refused.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        RecordingDriver driver;
        Dictionary info = vorrel::test::testInfoDictionary();
        info["SUFeedURL"] = Value{QStringLiteral("http://127.0.0.1:%1/feed").arg(port).toStdString()};
        Updater updater(Bundle(info), Suite::open("updater-test"), driver);
        updater.setTimeout(std::chrono::milliseconds(5000));
        const auto result = runCheck(updater);
        QCOMPARE(int(result.outcome), int(Outcome::Failed));
        QCOMPARE(result.error, "The update server “127.0.0.1” could not be reached.");
        // The technical reason follows as a sentence of its own.
        QVERIFY2(result.errorDetail.contains("refused", Qt::CaseInsensitive), qPrintable(result.errorDetail));
        QVERIFY(result.errorDetail.endsWith('.'));
        QCOMPARE(driver.shown, QStringList{"error " + result.error + " | " + result.errorDetail});
    }

    void unsafeLinksAreDropped() {
        RecordingDriver driver;
        auto updater = makeUpdater(driver, "/unsafe");
        const auto result = runCheck(*updater);
        QCOMPARE(int(result.outcome), int(Outcome::UpdateAvailable));
        QVERIFY(result.item->link.isEmpty());
        QCOMPARE(result.item->releaseNotesLink, QUrl("https://example.org/notes"));
    }

    void runningVersionThatCannotBeCompared() {
        RecordingDriver driver;
        auto updater = makeUpdater(driver, "/newer", "\u26a0\ufe0f");
        const auto result = runCheck(*updater);
        QCOMPARE(int(result.outcome), int(Outcome::Failed));
        QVERIFY(result.error.contains("cannot be compared"));
    }

    void canCheckForUpdatesIsFalseWhileACheckRuns() {
        RecordingDriver driver;
        auto updater = makeUpdater(driver, "/silent");
        QSignalSpy changes(updater.get(), &Updater::canCheckForUpdatesChanged);
        QSignalSpy finished(updater.get(), &Updater::finished);
        QVERIFY(updater->canCheckForUpdates());
        updater->checkForUpdatesInBackground();
        QVERIFY(!updater->canCheckForUpdates());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().first().toBool(), false);
        // Asking again while it runs starts no second request but makes the result visible.
        updater->checkForUpdates();
        QVERIFY(finished.wait(10000));
        QCOMPARE(server_->requestCount(), 1);
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.last().first().toBool(), true);
        QVERIFY(updater->canCheckForUpdates());
        QCOMPARE(driver.shown.size(), 1);
        QVERIFY(driver.shown.first().startsWith("error "));
    }

    void backgroundChecksShowOnlyNewerVersions() {
        for (const auto& [path, expected] : {std::pair{"/same", 0}, {"/missing", 0}, {"/newer", 1}}) {
            RecordingDriver driver;
            auto updater = makeUpdater(driver, path);
            QSignalSpy finished(updater.get(), &Updater::finished);
            updater->checkForUpdatesInBackground();
            QVERIFY(finished.wait(10000));
            QCOMPARE(driver.shown.size(), expected);
        }
    }

    void automaticChecksAreScheduledFromTheLastCheck() {
        RecordingDriver driver;
        auto updater = makeUpdater(driver, "/same");
        QSignalSpy finished(updater.get(), &Updater::finished);
        updater->start();
        QVERIFY(!updater->automaticallyChecksForUpdates());  // off until the user agrees
        QVERIFY(!updater->timeUntilAutomaticCheck());

        // Never checked: turning it on checks at once, quietly.
        updater->setAutomaticallyChecksForUpdates(true);
        QVERIFY(finished.wait(10000));
        QCOMPARE(server_->requestCount(), 1);
        QVERIFY(driver.shown.isEmpty());
        // Then the next one is a day later.
        auto next = updater->timeUntilAutomaticCheck();
        QVERIFY(next && *next > std::chrono::hours(23) && *next <= std::chrono::hours(24));

        // The choice and the date persist: a new updater on the same defaults picks them up.
        const auto oneHourAgo = std::chrono::system_clock::now() - std::chrono::hours(1);
        Suite::open("updater-test")->setObject(Value{oneHourAgo}, Updater::kLastCheckDateKey);
        auto second = makeUpdater(driver, "/same");
        second->start();
        QVERIFY(second->automaticallyChecksForUpdates());
        next = second->timeUntilAutomaticCheck();
        QVERIFY(next && *next > std::chrono::hours(22) && *next <= std::chrono::hours(23));

        second->setAutomaticallyChecksForUpdates(false);
        QVERIFY(!second->timeUntilAutomaticCheck());
        QCOMPARE(Suite::open("updater-test")->objectForKey(Updater::kAutomaticChecksKey), Value{false});
    }

    void controllerStartsItsOneUpdater() {
        auto driver = std::make_unique<RecordingDriver>();
        Suite::open("controller-test")->setObject(Value{true}, Updater::kAutomaticChecksKey);
        Suite::open("controller-test")->setObject(Value{std::chrono::system_clock::now()},
                                                  Updater::kLastCheckDateKey);
        Dictionary info = vorrel::test::testInfoDictionary();
        info["SUFeedURL"] = Value{server_->url("/same").toStdString()};
        UpdaterController controller(true, Bundle(info), Suite::open("controller-test"),
                                     std::move(driver));
        QVERIFY(controller.updater().isStarted());
        QVERIFY(controller.updater().timeUntilAutomaticCheck());
    }
};

QTEST_GUILESS_MAIN(UpdaterTest)
#include "Updater_qtest.moc"
