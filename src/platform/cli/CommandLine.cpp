#include "platform/cli/CommandLine.h"

#include <QCoreApplication>
#include <QStringList>

#include "platform/Bundle.h"

namespace vorrel::platform {

namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

CommandLine::CommandLine(QString programName, const QString& description)
    : name_(std::move(programName)),
      help_({QStringLiteral("h"), QStringLiteral("help")},
            QCoreApplication::translate("CommandLine", "Show this help and exit.")),
      version_({QStringLiteral("v"), QStringLiteral("version")},
               QCoreApplication::translate("CommandLine", "Show the version and exit.")) {
    parser_.setApplicationDescription(description);
    parser_.addOption(help_);
    parser_.addOption(version_);
}

std::optional<int> CommandLine::parse(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    QStringList arguments{name_};
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const bool parsed = parser_.parse(arguments);
    // Asking for help wins over a mistake elsewhere on the line, as with most programs.
    if (parser_.isSet(help_)) {
        print(out, helpText());
        return 0;
    }
    if (parser_.isSet(version_)) {
        QString text = versionText() + QLatin1Char('\n');
        if (versionNote_)
            if (const QString note = versionNote_(); !note.isEmpty()) text += note + QLatin1Char('\n');
        print(out, text);
        return 0;
    }
    if (!parsed) return usageError(parser_.errorText(), err);
    return std::nullopt;
}

int CommandLine::usageError(const QString& reason, std::FILE* err) const {
    print(err,
          QStringLiteral("%1: %2\n").arg(name_, reason) +
              QCoreApplication::translate("CommandLine", "Try '%1 --help' for more information.\n")
                  .arg(name_));
    return 2;
}

QString CommandLine::helpText() const {
    // The parser names the program in the usage line by how it was started, or, before the
    // application object exists, as "<executable_name>"; the help names it by its name.
    QString text = parser_.helpText();
    const QString started = QCoreApplication::instance() ? QCoreApplication::arguments().value(0)
                                                         : QStringLiteral("<executable_name>");
    const qsizetype at = started.isEmpty() ? -1 : text.indexOf(started);
    if (at >= 0 && at < text.indexOf(QLatin1Char('\n'))) text.replace(at, started.size(), name_);
    return text;
}

QString CommandLine::versionText() const {
    return name_ + QLatin1Char(' ') + QString::fromStdString(platform::versionText());
}

}  // namespace vorrel::platform
