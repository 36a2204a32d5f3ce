#include "logbook/DateFormatter.h"

#include <ctime>

namespace vorrel {

namespace {

void appendNumber(std::string& out, long value, std::size_t minimumDigits) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0) {
        out += '-';
    }
    if (digits.size() < minimumDigits) {
        out.append(minimumDigits - digits.size(), '0');
    }
    out += digits;
}

}  // namespace

DateFormatter::DateFormatter(std::string pattern, TimeZone timeZone)
    : pattern_(std::move(pattern)), timeZone_(timeZone) {}

std::string DateFormatter::string(std::chrono::system_clock::time_point date) const {
    using namespace std::chrono;
    // Floor (not truncate toward zero) so dates before 1970 still get a positive fraction.
    const auto wholeSeconds = floor<seconds>(date);
    const auto fraction = duration_cast<nanoseconds>(date - wholeSeconds).count();
    const std::time_t time = system_clock::to_time_t(time_point<system_clock, seconds>(wholeSeconds));
    std::tm parts{};
    if (timeZone_ == TimeZone::utc) {
        gmtime_r(&time, &parts);
    } else {
        localtime_r(&time, &parts);
    }

    std::string out;
    out.reserve(pattern_.size() + 8);
    for (std::size_t i = 0; i < pattern_.size();) {
        const char letter = pattern_[i];
        if (letter == '\'') {
            if (i + 1 < pattern_.size() && pattern_[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            std::size_t end = i + 1;
            while (end < pattern_.size()) {
                if (pattern_[end] == '\'' && end + 1 < pattern_.size() && pattern_[end + 1] == '\'') {
                    out += '\'';
                    end += 2;
                } else if (pattern_[end] == '\'') {
                    break;
                } else {
                    out += pattern_[end++];
                }
            }
            i = end + 1;
            continue;
        }
        std::size_t count = 1;
        while (i + count < pattern_.size() && pattern_[i + count] == letter) {
            ++count;
        }
        switch (letter) {
        case 'y':
            if (count == 2) {
                appendNumber(out, (parts.tm_year + 1900) % 100, 2);
            } else {
                appendNumber(out, parts.tm_year + 1900, count);
            }
            break;
        case 'M': appendNumber(out, parts.tm_mon + 1, count); break;
        case 'd': appendNumber(out, parts.tm_mday, count); break;
        case 'H': appendNumber(out, parts.tm_hour, count); break;
        case 'h': appendNumber(out, parts.tm_hour % 12 == 0 ? 12 : parts.tm_hour % 12, count); break;
        case 'a': out += parts.tm_hour < 12 ? "AM" : "PM"; break;
        case 'm': appendNumber(out, parts.tm_min, count); break;
        case 's': appendNumber(out, parts.tm_sec, count); break;
        case 'S': {
            std::string digits = std::to_string(fraction);
            digits.insert(0, 9 - digits.size(), '0');
            digits.resize(count, '0');
            out += digits;
            break;
        }
        default: out.append(count, letter); break;
        }
        i += count;
    }
    return out;
}

}  // namespace vorrel
