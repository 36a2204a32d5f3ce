#pragma once
// CommandLine: the command line of each of our programs, answered the usual way.
//
//   -h, --help      the usage line, the description, the options and the arguments on
//                   standard output; exit status 0
//   -v, --version   "NAME VERSION (build BUILD)" on standard output, then the version note's
//                   line if the program set one and it is not empty; exit status 0
//   a usage error   "NAME: REASON" and a pointer to --help on standard error; exit status 2
//
// A program adds its own options and arguments to parser(), then calls parse() first thing
// in main(), before it builds its application object: so these answers need no display, no
// settings and no session bus. VERSION and BUILD are the project's version and build
// number, as the bundles carry them. Qt's own command-line options (-platform, -style, …)
// are not taken; their environment variables (QT_QPA_PLATFORM, …) do the same.
//
//   CommandLine commandLine("vorrel-quicklook", QObject::tr("Quick look at EPS files."));
//   commandLine.parser().addOption(headless);
//   if (const auto status = commandLine.parse(argc, argv)) return *status;
//   if (commandLine.parser().isSet(headless)) …
//
// Thread-safety: the main thread only.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <cstdio>
#include <functional>
#include <optional>

namespace vorrel::platform {

class CommandLine {
public:
    CommandLine(QString programName, const QString& description);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    QCommandLineParser& parser() { return parser_; }

    // Parses the arguments after argv[0]. Answers --help or --version on `out`, or a usage
    // error on `err`, and returns the exit status; returns nothing when the program goes on.
    std::optional<int> parse(int argc, char* argv[], std::FILE* out = stdout,
                             std::FILE* err = stderr);

    // Reports a usage error the program finds itself (a missing argument, a bad value):
    // "NAME: REASON" and the pointer to --help on `err`. Returns the exit status, 2.
    int usageError(const QString& reason, std::FILE* err = stderr) const;

    // A line --version adds below its own (asked for only then; empty: none).
    void setVersionNote(std::function<QString()> note) { versionNote_ = std::move(note); }

    QString helpText() const;
    QString versionText() const;

private:
    QString name_;
    QCommandLineParser parser_;
    QCommandLineOption help_;
    QCommandLineOption version_;
    std::function<QString()> versionNote_;
};

}  // namespace vorrel::platform
