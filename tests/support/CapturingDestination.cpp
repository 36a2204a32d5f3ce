#include "support/CapturingDestination.h"

namespace vorrel::test {

CapturingDestination::CapturingDestination(std::string identifier, Logbook* owner)
    : BaseQueuedDestination(owner, std::move(identifier)) {}

std::shared_ptr<CapturingDestination> CapturingDestination::bare(std::string identifier) {
    auto destination = std::make_shared<CapturingDestination>(std::move(identifier));
    destination->showLogIdentifier = false;
    destination->showFunctionName = false;
    destination->showThreadName = false;
    destination->showFileName = false;
    destination->showLineNumber = false;
    destination->showLevel = false;
    destination->showDate = false;
    return destination;
}

void CapturingDestination::output(const LogDetails& logDetails, const std::string& message) {
    {
        std::lock_guard lock(mutex_);
        records_.push_back(logDetails);
    }
    BaseQueuedDestination::output(logDetails, message);
}

void CapturingDestination::write(const std::string& message) {
    std::lock_guard lock(mutex_);
    lines_.push_back(message);
}

std::vector<std::string> CapturingDestination::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<LogDetails> CapturingDestination::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<std::string> CapturingDestination::messages() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> messages;
    messages.reserve(records_.size());
    for (const auto& record : records_) {
        messages.push_back(record.message);
    }
    return messages;
}

void CapturingDestination::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
    records_.clear();
}

}  // namespace vorrel::test
