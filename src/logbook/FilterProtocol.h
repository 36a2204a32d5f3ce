#pragma once
// FilterProtocol: decides whether a rendered line is suppressed.
//
// A filter may change both the record and the line it is shown; later filters and the
// formatters see the changes. Called on the destination's queue when it has one, so a
// filter shared between destinations must be thread-safe.

#include <string>

#include "logbook/LogDetails.h"

namespace vorrel {

class FilterProtocol {
public:
    virtual ~FilterProtocol() = default;
    // True suppresses the line.
    virtual bool shouldExclude(LogDetails& logDetails, std::string& message) = 0;
};

}  // namespace vorrel
