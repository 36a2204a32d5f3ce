#pragma once
// Logging: the preview extension's one logger and its set-up.
//
// shared().logger is Logbook::defaultInstance(). configure(), run at every view load:
//   1. logger.setup(debug, no identifier, function name, no thread, no level, file names,
//      line numbers, date; no file, file level debug): the console destination only;
//   2. reads the shared setting logToFile; when false, stops (no file is touched);
//   3. the log file is the group container's "Preview.log"; without a group container the
//      file destination is skipped and the set-up ends here;
//   4. adds a FileDestination "advancedLogger.fileDestination" appending to that file with
//      the marker "\n-- Relauched App --\n", level debug, showing only the date and the
//      function name, writing on Logbook::logQueue(). The logger refuses a second
//      destination with that identifier, so repeated set-ups keep one;
//   5. logger.logAppDetails(): each destination gets the app details once.
// The bundle information behind the app details comes from platform::Bundle::main().
//
// Thread-safety: configure() runs on the GUI thread before the extension logs through a
// destination it adds; logging through `logger` is thread-safe.

#include <string_view>

#include "logbook/Logbook.h"

namespace vorrel {

class Logging {
public:
    static constexpr std::string_view kFileDestinationIdentifier = "advancedLogger.fileDestination";
    static constexpr std::string_view kAppendMarker = "\n-- Relauched App --\n";

    Logbook& logger;

    static Logging& shared();
    void configure();

private:
    Logging();
};

}  // namespace vorrel
