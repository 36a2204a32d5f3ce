#include "vorrel/DefaultApplication.h"

#include <QProcess>

namespace vorrel {

void DefaultApplication::makeQuickLookDefaultForEps(std::function<void(bool)> done) {
    auto* process = new QProcess;
    process->setProgram(QStringLiteral("xdg-mime"));
    process->setArguments({QStringLiteral("default"), QString::fromLatin1(desktopEntry),
                           QString::fromLatin1(epsMimeType)});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto finish = [process, done](bool ok) {
        process->deleteLater();
        if (done) done(ok);
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
        // A program that never started reports here only; one that ran reports finished().
        if (error == QProcess::FailedToStart) finish(false);
    });
    QObject::connect(process, &QProcess::finished, process,
                     [finish](int code, QProcess::ExitStatus status) {
                         finish(status == QProcess::NormalExit && code == 0);
                     });
    process->start();
}

}  // namespace vorrel
