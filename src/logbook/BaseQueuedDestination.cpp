#include "logbook/BaseQueuedDestination.h"

namespace vorrel {

void BaseQueuedDestination::output(const LogDetails& logDetails, const std::string& message) {
    // Resolved here, on the caller's thread: the queued work must not reach back into the
    // owner, which may be reconfigured or gone by the time the queue runs it.
    auto filters = effectiveFilters();
    auto formatters = effectiveFormatters();
    auto finish = [filters = std::move(filters), formatters = std::move(formatters)](
                      BaseQueuedDestination& destination, LogDetails details, std::string line) {
        if (excludedBy(filters, details, line)) {
            return;
        }
        formatWith(formatters, details, line);
        destination.write(line);
    };

    if (logQueue_ != nullptr) {
        if (auto self = std::static_pointer_cast<BaseQueuedDestination>(weak_from_this().lock())) {
            logQueue_->async([self = std::move(self), finish = std::move(finish), details = logDetails,
                              line = message]() mutable {
                finish(*self, std::move(details), std::move(line));
            });
            return;
        }
    }
    finish(*this, logDetails, message);
}

}  // namespace vorrel
