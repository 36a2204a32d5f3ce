#include "logbook/BaseDestination.h"

#include <sstream>

#include "logbook/Logbook.h"
#include "logbook/ThreadName.h"

namespace vorrel {

namespace {

std::string_view lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const auto slash = path.rfind('/');
    return (slash == std::string_view::npos || path.size() == 1) ? path : path.substr(slash + 1);
}

}  // namespace

BaseDestination::BaseDestination(Logbook* owner, std::string identifier)
    : owner_(owner), identifier_(std::move(identifier)) {}

void BaseDestination::setOutputLevel(LogLevel level) {
    outputLevel_.store(level, std::memory_order_relaxed);
    if (Logbook* logbook = owner()) {
        logbook->destinationLevelChanged();
    }
}

std::string BaseDestination::renderedDate(const Logbook& owner, const LogDetails& logDetails) const {
    return owner.dateFormatter().string(logDetails.date);
}

void BaseDestination::process(const LogDetails& logDetails) {
    // Read once: set-up may detach the destination on another thread meanwhile.
    const Logbook* const owner = this->owner();
    if (owner == nullptr) {
        return;
    }
    std::string line;
    line.reserve(96 + logDetails.functionName.size() + logDetails.message.size());
    if (showDate) {
        line += renderedDate(*owner, logDetails);
        line += ' ';
    }
    if (showLevel) {
        line += '[';
        if (auto own = levelDescriptions.find(logDetails.level); own != levelDescriptions.end()) {
            line += own->second;
        } else if (auto owners = owner->levelDescriptions.find(logDetails.level);
                   owners != owner->levelDescriptions.end()) {
            line += owners->second;
        } else {
            line += description(logDetails.level);
        }
        line += "] ";
    }
    if (showLogIdentifier) {
        line += '[';
        line += owner->identifier();
        line += "] ";
    }
    if (showThreadName) {
        line += threadSegment();
    }
    if (showFileName) {
        line += '[';
        line += lastPathComponent(logDetails.fileName);
        if (showLineNumber) {
            line += ':';
            line += std::to_string(logDetails.lineNumber);
        }
        line += "] ";
    } else if (showLineNumber) {
        line += '[';
        line += std::to_string(logDetails.lineNumber);
        line += "] ";
    }
    if (showFunctionName) {
        line += logDetails.functionName;
        line += ' ';
    }
    line += "> ";
    line += logDetails.message;
    output(logDetails, line);
}

void BaseDestination::processInternal(const LogDetails& logDetails) {
    const Logbook* const owner = this->owner();
    if (owner == nullptr) {
        return;
    }
    std::string line;
    if (showDate) {
        line += renderedDate(*owner, logDetails);
        line += ' ';
    }
    if (showLevel) {
        line += '[';
        line += description(logDetails.level);
        line += "] ";
    }
    if (showLogIdentifier) {
        line += '[';
        line += owner->identifier();
        line += "] ";
    }
    line += "> ";
    line += logDetails.message;
    output(logDetails, line);
}

std::string BaseDestination::debugDescription() const {
    std::ostringstream text;
    text << "BaseDestination: " << identifier_ << " - Level: " << outputLevel()
         << " - LogIdentifier: " << showLogIdentifier.load()
         << " - FunctionName: " << showFunctionName.load()
         << " - ThreadName: " << showThreadName.load() << " - Level: " << showLevel.load()
         << " - FileName: " << showFileName.load() << " - LineNumber: " << showLineNumber.load()
         << " - Date: " << showDate.load();
    return std::move(text).str();
}

}  // namespace vorrel
