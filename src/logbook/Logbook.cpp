#include "logbook/Logbook.h"

#include <errno.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <sstream>

#include "logbook/ConsoleDestination.h"
#include "logbook/FileDestination.h"

namespace vorrel {

namespace {

std::mutex lookupMutex;
Logbook::InfoDictionaryLookup& infoDictionaryLookup() {
    static Logbook::InfoDictionaryLookup lookup;
    return lookup;
}

std::optional<std::string> infoDictionaryString(std::string_view key) {
    Logbook::InfoDictionaryLookup lookup;
    {
        std::lock_guard lock(lookupMutex);
        lookup = infoDictionaryLookup();
    }
    if (!lookup) {
        return std::nullopt;
    }
    try {
        return lookup(key);
    } catch (...) {
        return std::nullopt;  // the logger never throws
    }
}

LogDetails internalDetails(LogLevel level, std::chrono::system_clock::time_point date,
                           std::string message) {
    return LogDetails{level, date, std::move(message), {}, {}, 0, Logbook::internalUserInfo()};
}

}  // namespace

Logbook::Logbook(std::string identifier, bool includeDefaultDestinations)
    : identifier_(std::move(identifier)) {
    if (includeDefaultDestinations) {
        add(std::make_shared<ConsoleDestination>(
            nullptr, std::string(Constants::baseConsoleDestinationIdentifier)));
    }
}

Logbook::~Logbook() {
    for (const auto& destination : destinations_) {
        if (destination->owner() == this) {
            destination->setOwner(nullptr);
        }
    }
}

Logbook& Logbook::defaultInstance() {
    // Never destroyed: code running during static destruction may still log.
    static Logbook* const instance =
        new Logbook(std::string(Constants::defaultInstanceIdentifier), true);
    return *instance;
}

SerialQueue& Logbook::logQueue() {
    // Never destroyed, so destinations may keep pointing at it; its worker is drained and
    // joined at normal exit so that no submitted line is lost.
    static SerialQueue* const queue = [] {
        auto* created = new SerialQueue(std::string(Constants::logQueueIdentifier));
        std::atexit([] { Logbook::logQueue().shutdown(); });
        return created;
    }();
    return *queue;
}

const UserInfo& Logbook::internalUserInfo() {
    static const UserInfo info{{std::string(Constants::userInfoKeyInternal), std::any(true)}};
    return info;
}

void Logbook::setInfoDictionaryLookup(InfoDictionaryLookup lookup) {
    std::lock_guard lock(lookupMutex);
    infoDictionaryLookup() = std::move(lookup);
}

void Logbook::setOutputLevel(Level level) {
    outputLevel_ = level;
    for (const auto& destination : destinations_) {
        destination->setOutputLevel(level);
    }
}

const DateFormatter& Logbook::dateFormatter() const {
    if (customDateFormatter_) {
        return *customDateFormatter_;
    }
    static const DateFormatter defaultFormatter;
    return defaultFormatter;
}

void Logbook::setDateFormatter(std::shared_ptr<const DateFormatter> formatter) {
    customDateFormatter_ = std::move(formatter);
}

void Logbook::setup(Level level, bool showLogIdentifier, bool showFunctionName,
                    bool showThreadName, bool showLevel, bool showFileNames,
                    bool showLineNumbers, bool showDate,
                    std::optional<LogFileLocation> writeToFile, std::optional<Level> fileLevel) {
    setOutputLevel(level);

    const auto applySwitches = [&](BaseDestination& destination) {
        destination.showLogIdentifier = showLogIdentifier;
        destination.showFunctionName = showFunctionName;
        destination.showThreadName = showThreadName;
        destination.showLevel = showLevel;
        destination.showFileName = showFileNames;
        destination.showLineNumber = showLineNumbers;
        destination.showDate = showDate;
    };

    if (auto console = std::dynamic_pointer_cast<ConsoleDestination>(
            destination(Constants::baseConsoleDestinationIdentifier))) {
        applySwitches(*console);
        console->setOutputLevel(level);
    }

    if (writeToFile) {
        auto file = std::make_shared<FileDestination>(
            nullptr, *writeToFile, std::string(Constants::fileDestinationIdentifier), false,
            std::string("-- ** ** ** --"));
        applySwitches(*file);
        file->setOutputLevel(fileLevel.value_or(level));
        add(file);
    }

    logAppDetails();
}

std::shared_ptr<DestinationProtocol> Logbook::destination(std::string_view identifier) const {
    for (const auto& destination : destinations_) {
        if (destination->identifier() == identifier) {
            return destination;
        }
    }
    return nullptr;
}

bool Logbook::add(std::shared_ptr<DestinationProtocol> destination) {
    if (!destination || this->destination(destination->identifier())) {
        return false;
    }
    if (Logbook* previous = destination->owner(); previous != nullptr && previous != this) {
        previous->remove(destination);
    }
    destination->setOwner(this);
    destinations_.push_back(std::move(destination));
    return true;
}

bool Logbook::remove(const std::shared_ptr<DestinationProtocol>& destination) {
    if (!destination || destination->owner() != this ||
        !this->destination(destination->identifier())) {
        return false;
    }
    destination->setOwner(nullptr);
    std::erase_if(destinations_, [](const auto& registered) { return registered->owner() == nullptr; });
    return true;
}

bool Logbook::remove(std::string_view identifier) {
    auto found = destination(identifier);
    return found ? remove(found) : false;
}

void Logbook::logAppDetails(DestinationProtocol* selectedDestination) {
    const auto date = std::chrono::system_clock::now();

    std::string versionPart;
    if (auto version = infoDictionaryString("CFBundleShortVersionString")) {
        versionPart += "Version: " + *version + " ";
    }
    if (auto build = infoDictionaryString("CFBundleVersion")) {
        versionPart += "Build: " + *build + " ";
    }
    const LogDetails lines[] = {
        internalDetails(Level::info, date,
                        std::string(program_invocation_short_name) + " " + versionPart +
                            "PID: " + std::to_string(getpid())),
        internalDetails(Level::info, date,
                        "Logbook Version: " + std::string(Constants::versionString) +
                            " - Level: " + std::string(description(outputLevel_))),
    };

    const auto deliver = [&](DestinationProtocol& destination) {
        if (destination.haveLoggedAppDetails()) {
            return;
        }
        for (const auto& line : lines) {
            if (destination.isEnabledFor(Level::info)) {
                destination.setHaveLoggedAppDetails(true);
                destination.processInternal(line);
            }
        }
    };

    if (selectedDestination != nullptr) {
        deliver(*selectedDestination);
        return;
    }
    // A copy: a destination may reconfigure the logger while processing.
    const auto targets = destinations_;
    for (const auto& destination : targets) {
        deliver(*destination);
    }
}

void Logbook::_logln(std::string_view message, Level level, const DestinationProtocol* source) {
    const LogDetails details =
        internalDetails(level, std::chrono::system_clock::now(), std::string(message));
    const auto targets = destinations_;
    for (const auto& destination : targets) {
        if (level > Level::warning && source != nullptr &&
            source->identifier() == destination->identifier()) {
            continue;
        }
        if (destination->isEnabledFor(level)) {
            destination->processInternal(details);
        }
    }
}

bool Logbook::anyDestinationEnabled(Level level) const {
    for (const auto& destination : destinations_) {
        if (destination->isEnabledFor(level)) {
            return true;
        }
    }
    return false;
}

void Logbook::logln(Level level, std::string_view functionName, std::string_view fileName,
                    int lineNumber, const UserInfo& userInfo, const MessageClosure& closure) {
    std::vector<DestinationProtocol*> accepting;
    for (const auto& destination : destinations_) {
        if (destination->isEnabledFor(level)) {
            accepting.push_back(destination.get());
        }
    }
    if (accepting.empty() || !closure) {
        return;
    }
    std::optional<std::string> message;
    try {
        message = closure();
    } catch (...) {
        return;  // logging never throws; a failing message closure logs nothing
    }
    if (!message) {
        return;
    }
    const LogDetails details{level,
                             std::chrono::system_clock::now(),
                             std::move(*message),
                             std::string(functionName),
                             std::string(fileName),
                             lineNumber,
                             userInfo};
    for (DestinationProtocol* destination : accepting) {
        destination->process(details);
    }
}

std::string Logbook::debugDescription() const {
    std::ostringstream text;
    text << "Logbook: " << identifier_ << " - destinations: \n";
    for (const auto& destination : destinations_) {
        text << "\t " << destination->debugDescription() << "\n";
    }
    return std::move(text).str();
}

}  // namespace vorrel
