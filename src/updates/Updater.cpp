#include "updates/Updater.h"

#include <algorithm>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "updates/UserDriver.h"

namespace vorrel::platform {

namespace {

// Server-supplied texts end up in a dialog; keep them short.
QString shortened(QString text) {
    text = text.simplified();
    return text.size() > 200 ? text.left(200) + QStringLiteral("…") : text;
}

// A technical message as a sentence: trimmed, shortened, with a full stop.
QString sentence(const QString& text) {
    QString result = shortened(text);
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('.')) && !result.endsWith(QChar(0x2026)))
        result += QLatin1Char('.');
    return result;
}

// What failed, in our words, for a request that ended with a network error.
QString networkFailure(QNetworkReply::NetworkError error, const QString& host) {
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return Updater::tr("The update server “%1” could not be found.").arg(host);
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownProxyError:
        return Updater::tr("The update server “%1” could not be reached.").arg(host);
    case QNetworkReply::SslHandshakeFailedError:
        return Updater::tr("No secure connection to the update server “%1” could be made.").arg(host);
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return Updater::tr("The update server “%1” sent the check to an address it cannot follow.").arg(host);
    default:
        return Updater::tr("The update feed could not be loaded from “%1”.").arg(host);
    }
}

}  // namespace

Updater::Updater(Bundle bundle, std::shared_ptr<Suite> defaults, UserDriver& driver,
                 QObject* parent)
    : QObject(parent),
      bundle_(std::move(bundle)),
      defaults_(std::move(defaults)),
      driver_(driver),
      network_(new QNetworkAccessManager(this)) {
    requestTimer_.setSingleShot(true);
    connect(&requestTimer_, &QTimer::timeout, this, [this] {
        if (!reply_) return;
        abortReason_ = tr("The update server did not answer in time.");
        reply_->abort();
    });
    scheduleTimer_.setSingleShot(true);
    connect(&scheduleTimer_, &QTimer::timeout, this, &Updater::checkForUpdatesInBackground);
}

Updater::~Updater() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void Updater::start() {
    started_ = true;
    scheduleAutomaticCheck();
}

void Updater::checkForUpdates() {
    if (checking_) {
        userInitiated_ = true;
        return;
    }
    startCheck(true);
}

void Updater::checkForUpdatesInBackground() {
    if (!checking_) startCheck(false);
}

bool Updater::automaticallyChecksForUpdates() const {
    const auto value = defaults_->objectForKey(kAutomaticChecksKey);
    const bool* enabled = value ? value->get<bool>() : nullptr;
    return enabled && *enabled;
}

void Updater::setAutomaticallyChecksForUpdates(bool enabled) {
    defaults_->setObject(Value{enabled}, kAutomaticChecksKey);
    scheduleAutomaticCheck();
}

std::optional<Date> Updater::lastUpdateCheckDate() const {
    const auto value = defaults_->objectForKey(kLastCheckDateKey);
    const Date* date = value ? value->get<Date>() : nullptr;
    return date ? std::optional<Date>(*date) : std::nullopt;
}

std::optional<std::chrono::milliseconds> Updater::timeUntilAutomaticCheck() const {
    if (!scheduleTimer_.isActive()) return std::nullopt;
    // From the due time, not the timer: a coarse timer may fire a little late.
    const auto remaining = automaticCheckDue_ - std::chrono::system_clock::now();
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(remaining),
                    std::chrono::milliseconds::zero());
}

void Updater::scheduleAutomaticCheck() {
    scheduleTimer_.stop();
    if (!started_ || !automaticallyChecksForUpdates()) return;
    auto delay = std::chrono::milliseconds::zero();
    if (const auto last = lastUpdateCheckDate()) {
        const auto due = *last + kCheckInterval;
        const auto now = std::chrono::system_clock::now();
        // A date in the future (clock set back) counts as a check made now.
        const auto remaining = std::min(due - now, std::chrono::system_clock::duration(kCheckInterval));
        delay = std::max(std::chrono::duration_cast<std::chrono::milliseconds>(remaining),
                         std::chrono::milliseconds::zero());
    }
    automaticCheckDue_ = std::chrono::system_clock::now() + delay;
    scheduleTimer_.start(delay);
}

void Updater::startCheck(bool userInitiated) {
    userInitiated_ = userInitiated;
    const QString feed = QString::fromStdString(bundle_.string("SUFeedURL").value_or(""));
    const QUrl url(feed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (feed.isEmpty() || !url.isValid() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        fail(tr("The update feed address “%1” is not a web address.").arg(shortened(feed)));
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Vorrel/%1").arg(QString::fromStdString(
                          bundle_.string("CFBundleShortVersionString").value_or("0"))));
    body_.clear();
    abortReason_.clear();
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxFeedSize_) {
            abortReason_ = tr("The update feed is larger than %1 bytes.").arg(maxFeedSize_);
            reply_->abort();
        }
    });
    connect(reply_, &QNetworkReply::readyRead, this, &Updater::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &Updater::onFinished);
    requestTimer_.start(timeout_);
    checking_ = true;
    emit canCheckForUpdatesChanged(false);
}

void Updater::onReadyRead() {
    if (!reply_) return;
    if (body_.size() + reply_->bytesAvailable() > maxFeedSize_) {
        abortReason_ = tr("The update feed is larger than %1 bytes.").arg(maxFeedSize_);
        reply_->abort();  // emits finished, which ends the check
        return;
    }
    body_ += reply_->readAll();
}

void Updater::onFinished() {
    QNetworkReply* reply = reply_;
    if (!reply) return;
    requestTimer_.stop();
    reply->deleteLater();
    if (abortReason_.isEmpty() && reply->error() == QNetworkReply::NoError) onReadyRead();
    reply_ = nullptr;

    if (!abortReason_.isEmpty()) return fail(abortReason_);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status >= 300) {
        if (status >= 300) {
            return fail(tr("The update server answered with HTTP status %1 (%2).")
                            .arg(status)
                            .arg(shortened(reply->attribute(
                                     QNetworkRequest::HttpReasonPhraseAttribute).toString())));
        }
        return fail(networkFailure(reply->error(), shortened(reply->url().host())),
                    sentence(reply->errorString()));
    }

    UpdateCheckResult result;
    result.userInitiated = userInitiated_;
    result.currentVersion =
        QString::fromStdString(bundle_.string("CFBundleShortVersionString").value_or(""));
    try {
        result.item = newestItem(parseAppcast(body_));
    } catch (const AppcastError& error) {
        return fail(QString::fromStdString(error.what()));
    }
    body_.clear();
    if (!result.item) return fail(tr("The update feed lists no release."));
    const auto order = compareVersions(result.item->version, result.currentVersion);
    if (!order) {
        return fail(tr("The running version “%1” cannot be compared with the feed's.")
                        .arg(shortened(result.currentVersion)));
    }
    result.outcome = *order > 0 ? UpdateCheckResult::Outcome::UpdateAvailable
                                : UpdateCheckResult::Outcome::UpToDate;
    complete(std::move(result));
}

void Updater::fail(const QString& reason, const QString& detail) {
    UpdateCheckResult result;
    result.outcome = UpdateCheckResult::Outcome::Failed;
    result.userInitiated = userInitiated_;
    result.currentVersion =
        QString::fromStdString(bundle_.string("CFBundleShortVersionString").value_or(""));
    result.error = reason;
    result.errorDetail = detail;
    body_.clear();
    complete(std::move(result));
}

void Updater::complete(UpdateCheckResult result) {
    const bool wasRunning = checking_;
    checking_ = false;
    reply_ = nullptr;
    // A failed check counts too: automatic checks stay at most once a day even when the
    // server is down.
    defaults_->setObject(Value{std::chrono::system_clock::now()}, kLastCheckDateKey);
    if (wasRunning) emit canCheckForUpdatesChanged(true);
    emit finished(result);
    switch (result.outcome) {
    case UpdateCheckResult::Outcome::UpdateAvailable:
        driver_.showUpdateFound(*result.item, result.currentVersion);
        break;
    case UpdateCheckResult::Outcome::UpToDate:
        if (result.userInitiated) driver_.showUpToDate(result.currentVersion);
        break;
    case UpdateCheckResult::Outcome::Failed:
        if (result.userInitiated) driver_.showUpdateError(result.error, result.errorDetail);
        break;
    }
    scheduleAutomaticCheck();
}

}  // namespace vorrel::platform
