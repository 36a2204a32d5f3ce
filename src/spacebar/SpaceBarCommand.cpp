#include "spacebar/SpaceBarCommand.h"

#include <QCoreApplication>

namespace vorrel::spacebar {

namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

int runSpaceBarCommand(const QString& mode, SpaceBar& spaceBar, std::FILE* out, std::FILE* err) {
    if (mode != QLatin1String("on") && mode != QLatin1String("off") && mode != QLatin1String("status")) {
        print(err, QCoreApplication::translate("SpaceBar", "vorrel: --space-bar takes on, off or status, not “%1”.")
                       .arg(mode));
        return 2;
    }
    const QList<FileManager> managers = spaceBar.found();
    if (managers.isEmpty())
        print(out, QCoreApplication::translate("SpaceBar", "No file manager that Vorrel can set up was found."));
    int status = 0;
    for (const FileManager manager : managers) {
        const QString name = SpaceBar::displayName(manager);
        if (mode != QLatin1String("status")) {
            const Outcome outcome = mode == QLatin1String("on") ? spaceBar.turnOn(manager)
                                                                : spaceBar.turnOff(manager);
            if (!outcome.ok) {
                print(out, QStringLiteral("%1: failed — %2").arg(name, outcome.message));
                status = 1;
                continue;
            }
            const State state = spaceBar.status(manager).state;
            print(out, QStringLiteral("%1: %2 — %3").arg(name, SpaceBar::stateName(state), outcome.message));
            continue;
        }
        const Status now = spaceBar.status(manager);
        print(out, QStringLiteral("%1: %2 — %3").arg(name, SpaceBar::stateName(now.state), now.detail));
    }
    return status;
}

}  // namespace vorrel::spacebar
