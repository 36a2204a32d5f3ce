// vorrel-thumbnailer -s SIZE INPUT OUTPUT — the PNG thumbnail of an EPS file, for file managers
// (share/thumbnailers/vorrel.thumbnailer). See thumbnailer/Thumbnail.h.
//   --help, --version  (see platform/cli/CommandLine.h)
//   --verbose          debug lines (the page chosen, missing protection) and the converter's
//                      own messages
// Exit status: 0 written; 1 no thumbnail, one line on standard error says why; 2 a usage error;
// 128 + the signal after SIGTERM, SIGINT or SIGHUP, which stop the converter at once.
#include <QCommandLineParser>
#include <QFile>
#include <cstdio>
#include <filesystem>
#include <stop_token>
#include <string>

#include "logbook/Logbook.h"
#include "platform/ModuleLocation.h"
#include "platform/TerminationWatch.h"
#include "platform/cli/CommandLine.h"
#include "thumbnailer/Thumbnail.h"

namespace {

namespace fs = std::filesystem;

// P/bin/vorrel-thumbnailer runs P/libexec/vorrel/converter.
fs::path converter() {
    static const int anchor = 0;
    return vorrel::platform::moduleFolder(&anchor).parent_path() / "libexec" / "vorrel" /
           "converter";
}

// One line, whatever the file names hold.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return text;
}

}  // namespace

int main(int argc, char* argv[]) {
    using vorrel::Thumbnail;
    vorrel::platform::CommandLine commandLine(QStringLiteral("vorrel-thumbnailer"),
                                              QObject::tr("Make the thumbnail of an EPS file."));
    QCommandLineParser& parser = commandLine.parser();
    const QCommandLineOption size(
        {QStringLiteral("s"), QStringLiteral("size")},
        QObject::tr("The length of the thumbnail's longer side, in pixels (%1 to %2).")
            .arg(Thumbnail::kMinimumSize)
            .arg(Thumbnail::kMaximumSize),
        QStringLiteral("SIZE"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QObject::tr("Print what happens, and Ghostscript's own messages."));
    parser.addOptions({size, verbose});
    parser.addPositionalArgument(QStringLiteral("INPUT"), QObject::tr("The EPS file."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT"), QObject::tr("The PNG file to write."));
    if (const auto status = commandLine.parse(argc, argv)) return *status;

    if (!parser.isSet(size)) return commandLine.usageError(QObject::tr("no size given (-s SIZE)"));
    bool isNumber = false;
    const int pixels = parser.value(size).toInt(&isNumber);
    if (!isNumber || pixels < Thumbnail::kMinimumSize || pixels > Thumbnail::kMaximumSize)
        return commandLine.usageError(QObject::tr("the size must be a whole number from %1 to %2")
                                          .arg(Thumbnail::kMinimumSize)
                                          .arg(Thumbnail::kMaximumSize));
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2) return commandLine.usageError(QObject::tr("give INPUT and OUTPUT"));
    const fs::path input = QFile::encodeName(files[0]).toStdString();
    const fs::path output = QFile::encodeName(files[1]).toStdString();

    auto& log = vorrel::Logbook::defaultInstance();
    log.setup(parser.isSet(verbose) ? vorrel::Logbook::Level::debug : vorrel::Logbook::Level::none,
              /*showLogIdentifier=*/false, /*showFunctionName=*/false, /*showThreadName=*/false,
              /*showLevel=*/false, /*showFileNames=*/false, /*showLineNumbers=*/false,
              /*showDate=*/false);

    // SIGTERM, SIGINT, SIGHUP: the converter is killed, the private folder removed.
    std::stop_source stop;
    const vorrel::platform::TerminationWatch termination([&stop](int) { stop.request_stop(); });
    try {
        const Thumbnail thumbnail(input, pixels);
        log.debug(thumbnail.description(), "main()");
        thumbnail.write(output,
                        {.converter = converter(), .converterMessages = parser.isSet(verbose)},
                        stop.get_token());
    } catch (const std::exception& error) {
        if (!termination.received())
            std::fprintf(stderr, "vorrel-thumbnailer: %s\n", oneLine(error.what()).c_str());
        return termination.exitStatus(1);
    }
    return termination.exitStatus(0);
}
