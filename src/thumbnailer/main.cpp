// vorrel-thumbnailer -s SIZE INPUT OUTPUT — the PNG thumbnail of an EPS file, for file managers
// (share/thumbnailers/vorrel.thumbnailer). See thumbnailer/Thumbnail.h.
//   --help, --version  (see thumbnailer/Arguments.h)
//   --verbose          debug lines (the page chosen, missing protection) and the converter's
//                      own messages
// Exit status: 0 written; 1 no thumbnail, one line on standard error says why; 2 a usage error;
// 128 + the signal after SIGTERM, SIGINT or SIGHUP, which stop the converter at once.
#include <cstdio>
#include <filesystem>
#include <stop_token>
#include <string>
#include <variant>

#include "logbook/Logbook.h"
#include "platform/ModuleLocation.h"
#include "platform/TerminationWatch.h"
#include "thumbnailer/Arguments.h"
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
    const auto parsed = vorrel::parseThumbnailerArguments(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const auto& arguments = std::get<vorrel::ThumbnailerArguments>(parsed);

    auto& log = vorrel::Logbook::defaultInstance();
    log.setup(arguments.verbose ? vorrel::Logbook::Level::debug : vorrel::Logbook::Level::none,
              /*showLogIdentifier=*/false, /*showFunctionName=*/false, /*showThreadName=*/false,
              /*showLevel=*/false, /*showFileNames=*/false, /*showLineNumbers=*/false,
              /*showDate=*/false);

    // SIGTERM, SIGINT, SIGHUP: the converter is killed, the private folder removed.
    std::stop_source stop;
    const vorrel::platform::TerminationWatch termination([&stop](int) { stop.request_stop(); });
    try {
        const Thumbnail thumbnail(arguments.input, arguments.size);
        log.debug(thumbnail.description(), "main()");
        thumbnail.write(arguments.output,
                        {.converter = converter(), .converterMessages = arguments.verbose},
                        stop.get_token());
    } catch (const std::exception& error) {
        if (!termination.received())
            std::fprintf(stderr, "vorrel-thumbnailer: %s\n", oneLine(error.what()).c_str());
        return termination.exitStatus(1);
    }
    return termination.exitStatus(0);
}
