#include "logbook/Logbook.h"

#include <errno.h>

#include <cstdlib>
#include <mutex>
#include <sstream>

#include "logbook/ConsoleDestination.h"
#include "logbook/FileDestination.h"
#include "platform/ThisProcess.h"

namespace vorrel {

namespace {

std::mutex lookupMutex;
Logbook::InfoDictionaryLookup& infoDictionaryLookup() {
    // Never destroyed: the app-details lines may be written from static destructors.
    static auto* const lookup = new Logbook::InfoDictionaryLookup;
    return *lookup;
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
    : identifier_(std::move(identifier)), destinations_(std::make_shared<const DestinationList>()) {
    if (includeDefaultDestinations) {
        add(std::make_shared<ConsoleDestination>(
            nullptr, std::string(Constants::baseConsoleDestinationIdentifier)));
    }
}

Logbook::~Logbook() {
    for (const auto& destination : *snapshot()) {
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
    // Never destroyed, so destinations may keep pointing at it. At normal exit (and at
    // std::quick_exit) it writes what was submitted before the exit began, for at most two
    // seconds.
    static SerialQueue* const queue = [] {
        auto* created = new SerialQueue(std::string(Constants::logQueueIdentifier));
        std::atexit([] { Logbook::logQueue().shutdown(std::chrono::seconds(2)); });
        std::at_quick_exit([] { Logbook::logQueue().shutdown(std::chrono::seconds(2)); });
        return created;
    }();
    return *queue;
}

const UserInfo& Logbook::internalUserInfo() {
    // Never destroyed: threads still logging at exit and static destructors use it.
    static const UserInfo* const info =
        new UserInfo{{std::string(Constants::userInfoKeyInternal), std::any(true)}};
    return *info;
}

void Logbook::setInfoDictionaryLookup(InfoDictionaryLookup lookup) {
    std::lock_guard lock(lookupMutex);
    infoDictionaryLookup() = std::move(lookup);
}

void Logbook::setOutputLevel(Level level) {
    outputLevel_.store(level, std::memory_order_relaxed);
    for (const auto& destination : *snapshot()) {
        destination->setOutputLevel(level);
    }
    destinationLevelChanged();  // also for destinations that do not report their changes
}

const DateFormatter& Logbook::dateFormatter() const {
    if (customDateFormatter_) {
        return *customDateFormatter_;
    }
    // Never destroyed: lines may be rendered from static destructors and late threads.
    static const DateFormatter* const defaultFormatter = new DateFormatter;
    return *defaultFormatter;
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

std::shared_ptr<const Logbook::DestinationList> Logbook::snapshot() const {
    std::lock_guard lock(destinationsMutex_);
    return destinations_;
}

std::shared_ptr<const Logbook::DestinationList> Logbook::publish(DestinationList list) {
    auto replaced = std::exchange(destinations_, std::make_shared<const DestinationList>(std::move(list)));
    refreshGateLocked();
    return replaced;
}

void Logbook::refreshGateLocked() {
    int lowest = rawValue(Level::none) + 1;
    for (const auto& destination : *destinations_) {
        for (int raw = 0; raw < lowest; ++raw) {
            if (destination->isEnabledFor(static_cast<Level>(raw))) {
                lowest = raw;
                break;
            }
        }
    }
    lowestAcceptedLevel_.store(lowest, std::memory_order_relaxed);
}

void Logbook::destinationLevelChanged() {
    std::lock_guard lock(destinationsMutex_);
    refreshGateLocked();
}

std::shared_ptr<DestinationProtocol> Logbook::destination(std::string_view identifier) const {
    for (const auto& destination : *snapshot()) {
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
    // Attaching opens a file destination and lets it log through this logger, so no lock
    // is held here.
    destination->setOwner(this);
    std::shared_ptr<const DestinationList> replaced;  // released after the lock
    std::unique_lock lock(destinationsMutex_);
    for (const auto& registered : *destinations_) {
        if (registered->identifier() == destination->identifier()) {
            // Another thread added one with this identifier meanwhile.
            lock.unlock();
            destination->setOwner(nullptr);
            return false;
        }
    }
    DestinationList list = *destinations_;
    list.push_back(std::move(destination));
    replaced = publish(std::move(list));
    return true;
}

bool Logbook::remove(const std::shared_ptr<DestinationProtocol>& destination) {
    if (!destination || destination->owner() != this ||
        !this->destination(destination->identifier())) {
        return false;
    }
    destination->setOwner(nullptr);
    // Destinations dropped here may be destroyed with the old list: not under the lock.
    std::shared_ptr<const DestinationList> replaced;
    std::lock_guard lock(destinationsMutex_);
    DestinationList list = *destinations_;
    std::erase_if(list, [](const auto& registered) { return registered->owner() == nullptr; });
    replaced = publish(std::move(list));
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
                            "PID: " + std::to_string(platform::processId())),
        internalDetails(Level::info, date,
                        "Logbook Version: " + std::string(Constants::versionString) +
                            " - Level: " + std::string(description(outputLevel()))),
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
    // A destination may reconfigure the logger while processing: the snapshot stays.
    for (const auto& destination : *snapshot()) {
        deliver(*destination);
    }
}

void Logbook::_logln(std::string_view message, Level level, const DestinationProtocol* source) {
    const LogDetails details =
        internalDetails(level, std::chrono::system_clock::now(), std::string(message));
    for (const auto& destination : *snapshot()) {
        if (level > Level::warning && source != nullptr &&
            source->identifier() == destination->identifier()) {
            continue;
        }
        if (destination->isEnabledFor(level)) {
            destination->processInternal(details);
        }
    }
}

void Logbook::logln(Level level, std::string_view functionName, std::string_view fileName,
                    int lineNumber, const UserInfo& userInfo, const MessageClosure& closure) {
    // The snapshot keeps every destination alive until the call returns, also one that
    // the message closure removes (it then has no owner and writes nothing).
    const auto targets = snapshot();
    std::vector<DestinationProtocol*> accepting;
    for (const auto& destination : *targets) {
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
    for (const auto& destination : *snapshot()) {
        text << "\t " << destination->debugDescription() << "\n";
    }
    return std::move(text).str();
}

}  // namespace vorrel
