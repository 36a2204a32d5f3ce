#include "logbook/DestinationProtocol.h"

#include "logbook/Logbook.h"

namespace vorrel {

std::optional<FilterList> DestinationProtocol::effectiveFilters() const {
    if (filters()) {
        return filters();
    }
    if (const Logbook* logbook = owner(); logbook != nullptr && logbook->filters) {
        return logbook->filters;
    }
    return std::nullopt;
}

std::optional<FormatterList> DestinationProtocol::effectiveFormatters() const {
    if (formatters()) {
        return formatters();
    }
    if (const Logbook* logbook = owner(); logbook != nullptr && logbook->formatters) {
        return logbook->formatters;
    }
    return std::nullopt;
}

bool DestinationProtocol::excludedBy(const std::optional<FilterList>& filters,
                                     LogDetails& logDetails, std::string& message) {
    if (!filters) {
        return false;
    }
    for (const auto& filter : *filters) {
        if (filter && filter->shouldExclude(logDetails, message)) {
            return true;
        }
    }
    return false;
}

void DestinationProtocol::formatWith(const std::optional<FormatterList>& formatters,
                                     LogDetails& logDetails, std::string& message) {
    if (!formatters) {
        return;
    }
    for (const auto& formatter : *formatters) {
        if (formatter) {
            formatter->format(logDetails, message);
        }
    }
}

bool DestinationProtocol::shouldExclude(LogDetails& logDetails, std::string& message) {
    return excludedBy(effectiveFilters(), logDetails, message);
}

void DestinationProtocol::applyFormatters(LogDetails& logDetails, std::string& message) {
    formatWith(effectiveFormatters(), logDetails, message);
}

}  // namespace vorrel
