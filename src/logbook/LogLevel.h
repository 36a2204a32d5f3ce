#pragma once
// The level scale of the logger: ten levels ordered by their raw value.
//
// Comparisons (<, <=, >, >=) compare raw values, so "at or above the output level" is
// `level >= outputLevel`. `none` sits above every real level: an output level of `none`
// lets nothing through. Everything here is constant and thread-safe.

#include <array>
#include <optional>
#include <ostream>
#include <string_view>

namespace vorrel {

enum class LogLevel {
    verbose = 0,
    debug,
    info,
    notice,
    warning,
    error,
    severe,
    alert,
    emergency,
    none
};

// All ten levels in raw-value order.
inline constexpr std::array<LogLevel, 10> allLogLevelCases{
    LogLevel::verbose, LogLevel::debug,  LogLevel::info,  LogLevel::notice,    LogLevel::warning,
    LogLevel::error,   LogLevel::severe, LogLevel::alert, LogLevel::emergency, LogLevel::none};

// The nine levels a message can carry (`verbose` to `emergency`, without `none`).
inline constexpr std::array<LogLevel, 9> allLogLevels{
    LogLevel::verbose, LogLevel::debug,  LogLevel::info,  LogLevel::notice,   LogLevel::warning,
    LogLevel::error,   LogLevel::severe, LogLevel::alert, LogLevel::emergency};

constexpr int rawValue(LogLevel level) { return static_cast<int>(level); }

// The level with that raw value (0 to 9), or nothing.
constexpr std::optional<LogLevel> logLevelFromRawValue(int raw) {
    if (raw < 0 || raw > rawValue(LogLevel::none)) {
        return std::nullopt;
    }
    return static_cast<LogLevel>(raw);
}

// "Verbose", "Debug", "Info", "Notice", "Warning", "Error", "Severe", "Alert",
// "Emergency", "None".
std::string_view description(LogLevel level);

std::ostream& operator<<(std::ostream& stream, LogLevel level);

}  // namespace vorrel
