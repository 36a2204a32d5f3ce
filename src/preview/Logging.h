#pragma once
// Logging: the preview extension's one logger and its set-up.
//
// shared().logger is Logbook::defaultInstance(). configure(), run at every view load:
//   1. logger.setup(debug, no identifier, function name, no thread, no level, file names,
//      line numbers, date; no file, file level debug): the console destination only;
//   2. starts following the switch (once per process, when a Qt application exists): every
//      half second the shared setting logToFile is read, and the file destination is
//      added or removed to match, so the "Log to File" switch reaches running previews
//      within a second, both ways;
//   3. reads logToFile; when false, stops (no file is touched);
//   4. the log file is the group container's "Preview.log"; without a group container the
//      file destination is skipped and the set-up ends here;
//   5. adds a FileDestination "advancedLogger.fileDestination" appending to that file with
//      the marker "\n-- Relauched App --\n", level debug, showing only the date and the
//      function name, private to the user (0600, set on the file opened), capped at
//      10 MiB (then one older file, "Preview.log.1"), writing on Logbook::logQueue(). The
//      logger refuses a second destination with that identifier, so repeated set-ups
//      keep one;
//   6. logger.logAppDetails(): each destination gets the app details once.
// The bundle information behind the app details comes from platform::Bundle::main().
// The settings suites report what is wrong with a settings file to `logger` at error level.
//
// Thread-safety: configure() runs on the GUI thread before the extension logs through a
// destination it adds; logging through `logger` is thread-safe.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "logbook/Logbook.h"

namespace vorrel {

class Logging {
public:
    static constexpr std::string_view kFileDestinationIdentifier = "advancedLogger.fileDestination";
    static constexpr std::string_view kAppendMarker = "\n-- Relauched App --\n";
    static constexpr std::uintmax_t kMaximumLogSize = 10u << 20;
    static constexpr std::chrono::milliseconds kSwitchInterval{500};

    Logbook& logger;

    static Logging& shared();
    void configure();

private:
    Logging();
    bool addFileDestination();
    void applySwitch();
    void followSwitch();

    std::atomic<bool> switchFollowed_{false};
};

}  // namespace vorrel
