#pragma once
// LogDetails: the record one log call produces, handed to every destination that accepts
// its level. A plain value; copy it freely between threads.

#include <any>
#include <chrono>
#include <map>
#include <string>

#include "logbook/LogLevel.h"

namespace vorrel {

// Extra values a caller attaches to a record. Filters and formatters see them; a rendered
// line never shows them.
using UserInfo = std::map<std::string, std::any, std::less<>>;

struct LogDetails {
    LogLevel level = LogLevel::debug;
    std::chrono::system_clock::time_point date;  // the moment the record was made
    std::string message;                         // already rendered from the caller's value
    std::string functionName;
    std::string fileName;  // the caller's full source path, as the call site gave it
    long lineNumber = 0;
    UserInfo userInfo;
};

}  // namespace vorrel
