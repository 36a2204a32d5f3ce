#include "platform/desktop/Launcher.h"

#include <memory>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace vorrel::platform {

namespace {

constexpr int handOffMs = 10000;

// Reports once: the first of exit, failure to start and the hand-off time wins.
struct Report {
    Launcher::Completion done;
    void operator()(Launcher::Outcome outcome) {
        if (done) std::exchange(done, {})(outcome);
    }
};

}  // namespace

void Launcher::open(const QUrl& url, Completion done) {
    auto report = std::make_shared<Report>(Report{std::move(done)});
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        const bool opened = QDesktopServices::openUrl(url);
        QTimer::singleShot(0, qApp, [report, opened] { (*report)(opened ? Outcome::Opened : Outcome::Failed); });
        return;
    }

    // Owned by the application: a program still in the opener's foreground when we quit
    // loses only the opener, not itself.
    auto* child = new QProcess(qApp);
    child->setProgram(opener);
    child->setArguments({url.isLocalFile() ? url.toLocalFile() : QString::fromLatin1(url.toEncoded())});
    child->setStandardInputFile(QProcess::nullDevice());
    child->setStandardOutputFile(QProcess::nullDevice());
    child->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(child, &QProcess::finished, child, [child, report](int status, QProcess::ExitStatus how) {
        (*report)(how == QProcess::NormalExit && status == 0 ? Outcome::Opened : Outcome::Failed);
        child->deleteLater();
    });
    QObject::connect(child, &QProcess::errorOccurred, child, [child, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;  // the others end in finished()
        (*report)(Outcome::Failed);
        child->deleteLater();
    }, Qt::QueuedConnection);  // a failed start is said inside start(); the outcome comes later
    QTimer::singleShot(handOffMs, child, [report] { (*report)(Outcome::Opened); });
    child->start();
}

}  // namespace vorrel::platform
