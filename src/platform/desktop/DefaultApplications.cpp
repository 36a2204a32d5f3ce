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

namespace {

// Runs xdg-mime with `arguments`; `done` gets the outcome from the event loop.
void runTool(const QStringList& arguments, QObject* context, DefaultApplications::Completion done) {
    using Outcome = DefaultApplications::Outcome;
    // Owned by the context: its destructor kills and reaps a child still running.
    auto* process = new QProcess(context);
    process->setProgram(QStringLiteral("xdg-mime"));
    process->setArguments(arguments);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);

    auto reported = std::make_shared<bool>(false);
    auto finish = [process, reported, done = std::move(done)](const Outcome& outcome) {
        if (*reported) return;
        *reported = true;
        process->deleteLater();
        if (done) done(outcome);
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
                         Outcome outcome;
                         if (status == QProcess::NormalExit && code == 0) {
                             const QString out = QString::fromLocal8Bit(process->readAllStandardOutput());
                             outcome.answer = out.section(QLatin1Char('\n'), 0, 0)
                                                  .section(QLatin1Char(';'), 0, 0)
                                                  .trimmed()
                                                  .left(300);
                             return finish(outcome);
                         }
                         outcome.status = Outcome::Status::ToolFailed;
                         outcome.message = lastLine(process->readAllStandardError());
                         outcome.ending = timedOut                         ? Outcome::Ending::TimedOut
                                          : status == QProcess::CrashExit ? Outcome::Ending::Signalled
                                                                          : Outcome::Ending::Exited;
                         outcome.exitStatus = code;
                         finish(outcome);
                     });
    process->start();
    limit->start(timeoutMs.load());
}

// Every outcome is delivered from the event loop, also an immediate one, so callers see
// one order of events whatever happened.
DefaultApplications::Completion later(QObject* context, DefaultApplications::Completion done) {
    return [context, done = std::move(done)](const DefaultApplications::Outcome& outcome) {
        if (done) QTimer::singleShot(0, context, [done, outcome] { done(outcome); });
    };
}

}  // namespace

void DefaultApplications::setDefault(const QString& desktopEntry, const QStringList& mimeTypes, QObject* context,
                                     Completion done) {
    auto deliver = later(context, std::move(done));
    if (locateEntry(desktopEntry).isEmpty()) return deliver({Outcome::Status::EntryNotInstalled, {}});
    runTool(QStringList{QStringLiteral("default"), desktopEntry} + mimeTypes, context, std::move(deliver));
}

void DefaultApplications::queryDefault(const QString& mimeType, QObject* context, Completion done) {
    runTool({QStringLiteral("query"), QStringLiteral("default"), mimeType}, context, later(context, std::move(done)));
}

void DefaultApplications::queryFileType(const QString& path, QObject* context, Completion done) {
    runTool({QStringLiteral("query"), QStringLiteral("filetype"), path}, context, later(context, std::move(done)));
}

}  // namespace vorrel::platform
