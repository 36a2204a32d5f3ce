#pragma once
// DateFormatter: renders a point in time with a fixed pattern.
//
// Pattern letters (the usual date-pattern subset): yyyy / yy year, MM / M month,
// dd / d day, HH / H hour 0-23, hh / h hour 1-12, a AM/PM, mm / m minute, ss / s second,
// S... fraction of the second with as many digits as letters (truncated), and text in
// single quotes taken literally ('' is a quote). Any other character is copied.
// Digits are always Western. The default pattern is "yyyy-MM-dd HH:mm:ss.SSS" in local
// time, which renders like 2026-01-31 14:05:09.042.
//
// Thread-safety: a formatter is immutable after construction; `string` may be called
// from any thread.

#include <chrono>
#include <string>

namespace vorrel {

class DateFormatter {
public:
    enum class TimeZone { local, utc };

    explicit DateFormatter(std::string pattern = "yyyy-MM-dd HH:mm:ss.SSS",
                           TimeZone timeZone = TimeZone::local);
    virtual ~DateFormatter() = default;

    virtual std::string string(std::chrono::system_clock::time_point date) const;

    const std::string& pattern() const { return pattern_; }
    TimeZone timeZone() const { return timeZone_; }

private:
    std::string pattern_;
    TimeZone timeZone_;
};

}  // namespace vorrel
