#include "logbook/LogLevel.h"

namespace vorrel {

std::string_view description(LogLevel level) {
    switch (level) {
    case LogLevel::verbose: return "Verbose";
    case LogLevel::debug: return "Debug";
    case LogLevel::info: return "Info";
    case LogLevel::notice: return "Notice";
    case LogLevel::warning: return "Warning";
    case LogLevel::error: return "Error";
    case LogLevel::severe: return "Severe";
    case LogLevel::alert: return "Alert";
    case LogLevel::emergency: return "Emergency";
    case LogLevel::none: return "None";
    }
    return "None";
}

std::ostream& operator<<(std::ostream& stream, LogLevel level) {
    return stream << description(level);
}

}  // namespace vorrel
