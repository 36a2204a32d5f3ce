#pragma once
// LogFormatterProtocol: rewrites a rendered line before it is written.
//
// Only the changes a formatter makes to `message` count; its return value is ignored by
// the logger (it is kept for formatters that are also used on their own). Called on the
// destination's queue when it has one, so a shared formatter must be thread-safe.

#include <string>

#include "logbook/LogDetails.h"

namespace vorrel {

class LogFormatterProtocol {
public:
    virtual ~LogFormatterProtocol() = default;
    virtual std::string format(LogDetails& logDetails, std::string& message) = 0;
};

}  // namespace vorrel
