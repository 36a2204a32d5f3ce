#include "platform/desktop/DefaultApplications.h"

#include <atomic>
#include <memory>

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace vorrel::platform {

namespace {

std::atomic<int> timeoutMs{30000};

// The tool's last non-empty line of standard error, kept short for a message.
QString lastLine(const QByteArray& bytes) {
    const QStringList lines = QString::fromLocal8Bit(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString line = lines.isEmpty() ? QString() : lines.last().simplified();
    return line.size() > 300 ? line.left(300) + QStringLiteral("…") : line;
}

}  // namespace

void DefaultApplications::setTimeout(std::chrono::milliseconds timeout) {
    timeoutMs = static_cast<int>(timeout.count());
}

QString DefaultApplications::locateEntry(const QString& desktopEntry) {
    return QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopEntry);
}

void DefaultApplications::setDefault(const QString& desktopEntry, const QStringList& mimeTypes,
                                     QObject* context, Completion done) {
    // Every outcome is delivered from the event loop, also the immediate one, so callers
    // see one order of events whatever happened.
    auto deliver = [context, done = std::move(done)](const Outcome& outcome) {
        if (done) QTimer::singleShot(0, context, [done, outcome] { done(outcome); });
    };
    if (locateEntry(desktopEntry).isEmpty())
        return deliver({Outcome::Status::EntryNotInstalled, {}});

    // Owned by the context: its destructor kills and reaps a child still running.
    auto* process = new QProcess(context);
    process->setProgram(QStringLiteral("xdg-mime"));
    process->setArguments(QStringList{QStringLiteral("default"), desktopEntry} + mimeTypes);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardInputFile(QProcess::nullDevice());
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);

    auto reported = std::make_shared<bool>(false);
    auto finish = [process, reported, deliver](const Outcome& outcome) {
        if (*reported) return;
        *reported = true;
        process->deleteLater();
        deliver(outcome);
    };
    QObject::connect(limit, &QTimer::timeout, process, [process] {
        process->kill();  // finished() follows, with a crash exit
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
        // A program that never started reports here only; one that ran reports finished().
        if (error == QProcess::FailedToStart) finish({Outcome::Status::ToolMissing, {}});
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, limit, finish](int code, QProcess::ExitStatus status) {
                         const bool timedOut = !limit->isActive();
                         limit->stop();
                         if (status == QProcess::NormalExit && code == 0)
                             return finish({Outcome::Status::Done, {}});
                         QString message = lastLine(process->readAllStandardError());
                         if (message.isEmpty()) {
                             message = timedOut                         ? QStringLiteral("no answer in time")
                                       : status == QProcess::CrashExit ? QStringLiteral("ended by a signal")
                                                                       : QStringLiteral("exit status %1").arg(code);
                         }
                         finish({Outcome::Status::ToolFailed, message});
                     });
    process->start();
    limit->start(timeoutMs.load());
}

}  // namespace vorrel::platform
