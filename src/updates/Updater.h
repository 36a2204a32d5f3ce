#pragma once
// Updater: checks the application's update feed and tells the user what it found. It
// never downloads or installs anything.
//
// What happens on a check:
//   1. canCheckForUpdates turns false (and is announced).
//   2. The feed named by the bundle's "SUFeedURL" (http or https only) is fetched with
//      Qt Network. Redirects may not go from https to http. The body is capped
//      (maxFeedSize, 1 MiB by default) and the whole exchange has a time limit
//      (timeout, 30 s by default); either overrun aborts the request.
//   3. The body is parsed as an appcast (Appcast.h) and the newest item's version is
//      compared with the bundle's "CFBundleShortVersionString".
//      A failure is told as a sentence of ours ("The update server “example.org” could not
//      be found."), with the technical reason from the network or the parser beside it.
//   4. The date of the check is stored, canCheckForUpdates turns true again, finished()
//      reports the result, and the user driver shows it: always for a check the user
//      asked for; for an automatic check only when a newer version exists.
//
// Automatic checks: while automaticallyChecksForUpdates is true, start() and every later
// change of the setting schedule a background check for one day after the last check (at
// once when there was none or it is older). Both the choice and the date of the last
// check live in the given defaults suite (the host's standard defaults) under
// "automaticallyChecksForUpdates" (Boolean, default false: no network traffic until the
// user agrees) and "lastUpdateCheckDate" (date).
//
// Thread-safety: a QObject of the GUI thread; use it there only.

#include <chrono>
#include <memory>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "platform/Bundle.h"
#include "settings/Suite.h"
#include "updates/Appcast.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace vorrel::platform {

class UserDriver;

struct UpdateCheckResult {
    enum class Outcome { UpToDate, UpdateAvailable, Failed };
    Outcome outcome = Outcome::Failed;
    QString currentVersion;
    std::optional<AppcastItem> item;  // the newest release, when the feed had one
    QString error;                    // what failed, a sentence of ours for the user
    QString errorDetail;              // the technical reason behind it, when there is one
    bool userInitiated = false;
};

class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates)

public:
    static constexpr const char* kAutomaticChecksKey = "automaticallyChecksForUpdates";
    static constexpr const char* kLastCheckDateKey = "lastUpdateCheckDate";
    static constexpr std::chrono::hours kCheckInterval{24};

    // The driver must outlive the updater.
    Updater(Bundle bundle, std::shared_ptr<Suite> defaults, UserDriver& driver,
            QObject* parent = nullptr);
    ~Updater() override;

    // Schedules automatic checks; called once by the controller.
    void start();
    bool isStarted() const { return started_; }

    // False while a check runs.
    bool canCheckForUpdates() const { return !checking_; }
    // Starts a check whose result the user sees. While a check already runs, that check's
    // result will be shown instead of starting a second one.
    void checkForUpdates();
    // Starts a check that shows only a newer version. Does nothing while a check runs.
    void checkForUpdatesInBackground();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool enabled);
    std::optional<Date> lastUpdateCheckDate() const;
    // How long until the next automatic check; nothing while none is scheduled.
    std::optional<std::chrono::milliseconds> timeUntilAutomaticCheck() const;

    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    void setMaxFeedSize(qint64 bytes) { maxFeedSize_ = bytes; }

signals:
    void canCheckForUpdatesChanged(bool canCheck);
    void finished(const vorrel::platform::UpdateCheckResult& result);

private:
    void startCheck(bool userInitiated);
    void onReadyRead();
    void onFinished();
    void fail(const QString& reason, const QString& detail = {});
    void complete(UpdateCheckResult result);
    void scheduleAutomaticCheck();

    Bundle bundle_;
    std::shared_ptr<Suite> defaults_;
    UserDriver& driver_;
    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QByteArray body_;
    QString abortReason_;
    bool userInitiated_ = false;
    bool checking_ = false;
    bool started_ = false;
    QTimer requestTimer_;
    QTimer scheduleTimer_;
    Date automaticCheckDue_{};  // meaningful while scheduleTimer_ runs
    std::chrono::milliseconds timeout_{30000};
    qint64 maxFeedSize_ = 1 << 20;
};

}  // namespace vorrel::platform

Q_DECLARE_METATYPE(vorrel::platform::UpdateCheckResult)
