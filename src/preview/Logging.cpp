#include "preview/Logging.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>
#include <string>

#include "logbook/FileDestination.h"
#include "platform/Bundle.h"
#include "settings/Suite.h"
#include "settings/Prefs.h"
#include "platform/AppGroup.h"
#include "settings/SharedSettings.h"

namespace vorrel {

Logging::Logging() : logger(Logbook::defaultInstance()) {
    // The app-details line names the running deliverable: whatever bundle is main when
    // it is written (the extension's, once the plug-in has been loaded).
    Logbook::setInfoDictionaryLookup(
        [](std::string_view key) { return platform::Bundle::main().string(key); });
    // What is wrong with a settings file goes to the log, where the user looks.
    platform::Suite::setReporter([](const std::string& message) {
        Logbook::defaultInstance().error("Settings: " + message, "Suite");
    });
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
    followSwitch();
    if (Prefs::get(logToFile())) addFileDestination();
}

bool Logging::addFileDestination() {
    using Level = Logbook::Level;
    // Without a group container there is nowhere to put the file: keep the console only.
    const std::optional<std::filesystem::path> logFile = logFileURL();
    if (!logFile) return false;

    // The log names the files the user previewed: the user's alone, like the container.
    // The destination sets this on the file it opens (never through a link).
    constexpr auto kPrivate =
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
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
    destination->setMaximumFileSize(kMaximumLogSize);
    destination->setLogQueue(&Logbook::logQueue());
    if (!logger.add(destination)) return false;

    logger.logAppDetails();
    return true;
}

void Logging::applySwitch() {
    const bool wanted = Prefs::get(logToFile());
    const bool attached = logger.destination(kFileDestinationIdentifier) != nullptr;
    if (wanted && !attached) {
        addFileDestination();
    } else if (!wanted && attached) {
        logger.remove(kFileDestinationIdentifier);
    }
}

void Logging::followSwitch() {
    // The switch is set in another process (the application): look at the shared setting
    // often enough that a change reaches running previews within a second. A read costs one
    // stat while the settings file is unchanged.
    // The timer lives on the application's thread, whichever thread configures.
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || switchFollowed_.exchange(true)) return;
    QMetaObject::invokeMethod(app, [this, app] {
        auto* timer = new QTimer(app);
        timer->setInterval(kSwitchInterval);
        QObject::connect(timer, &QTimer::timeout, timer, [this] { applySwitch(); });
        timer->start();
    });
}

}  // namespace vorrel
