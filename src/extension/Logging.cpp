#include "extension/Logging.h"

#include <memory>
#include <string>

#include "logbook/FileDestination.h"
#include "platform/Bundle.h"
#include "prefs/Prefs.h"
#include "shared/AppGroup.h"
#include "shared/SharedSettings.h"

namespace vorrel {

Logging::Logging() : logger(Logbook::defaultInstance()) {
    // The app-details line names the running deliverable: whatever bundle is main when
    // it is written (the extension's, once the plug-in has been loaded).
    Logbook::setInfoDictionaryLookup(
        [](std::string_view key) { return platform::Bundle::main().string(key); });
}

Logging& Logging::shared() {
    static Logging instance;
    return instance;
}

void Logging::configure() {
    using Level = Logbook::Level;
    logger.setup(Level::debug, /*showLogIdentifier=*/false, /*showFunctionName=*/true,
                 /*showThreadName=*/false, /*showLevel=*/false, /*showFileNames=*/true,
                 /*showLineNumbers=*/true, /*showDate=*/true, /*writeToFile=*/std::nullopt,
                 /*fileLevel=*/Level::debug);

    if (!Prefs::get(logToFile())) return;
    // Without a group container there is nowhere to put the file: keep the console only.
    const std::optional<std::filesystem::path> logFile = logFileURL();
    if (!logFile) return;

    // The log names the files the user previewed: the user's alone, like the container.
    constexpr auto kPrivate =
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::error_code ignored;
    if (std::filesystem::exists(*logFile, ignored))
        std::filesystem::permissions(*logFile, kPrivate, ignored);
    auto destination = std::make_shared<FileDestination>(
        /*owner=*/nullptr, LogFileLocation(logFile->string()),
        std::string(kFileDestinationIdentifier), /*shouldAppend=*/true,
        std::string(kAppendMarker), FileAttributes{kPrivate});
    destination->setOutputLevel(Level::debug);
    destination->showLogIdentifier = false;
    destination->showFunctionName = true;
    destination->showThreadName = false;
    destination->showLevel = false;
    destination->showFileName = false;
    destination->showLineNumber = false;
    destination->showDate = true;
    destination->setLogQueue(&Logbook::logQueue());
    logger.add(destination);

    logger.logAppDetails();
}

}  // namespace vorrel
