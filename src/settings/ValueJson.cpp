#include "settings/ValueJson.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <type_traits>
#include <nlohmann/json.hpp>

namespace vorrel::platform {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kUnsignedTag = "$unsigned";
constexpr std::string_view kDoubleTag = "$double";
constexpr std::string_view kRawStringTag = "$rawString";
constexpr std::string_view kBytesTag = "$bytes";
constexpr std::string_view kDateTag = "$date";
// Prefix of a dictionary key that is not valid UTF-8: the key's bytes in base64 follow.
constexpr std::string_view kRawKeyPrefix = "$rawKey:";

// Dates are counted in 64-bit nanoseconds; the date text functions rely on it.
static_assert(std::is_same_v<Date::duration, std::chrono::nanoseconds>);

bool isTag(std::string_view key) {
    return key == kUnsignedTag || key == kDoubleTag || key == kRawStringTag || key == kBytesTag ||
           key == kDateTag;
}

bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        int extra;
        std::uint32_t codePoint;
        if (c < 0x80) { ++p; continue; }
        if ((c & 0xe0) == 0xc0) { extra = 1; codePoint = c & 0x1f; }
        else if ((c & 0xf0) == 0xe0) { extra = 2; codePoint = c & 0x0f; }
        else if ((c & 0xf8) == 0xf0) { extra = 3; codePoint = c & 0x07; }
        else return false;
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xc0) != 0x80) return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3f);
        }
        // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
        static constexpr std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (codePoint < kMinimum[extra] || codePoint > 0x10ffff ||
            (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;
        p += extra + 1;
    }
    return true;
}

Json tagged(std::string_view tag, Json payload) {
    Json object = Json::object();
    object[std::string(tag)] = std::move(payload);
    return object;
}

void checkDepth(int depth) {
    if (depth > kMaxValueJsonDepth)
        throw ValueJsonError("arrays and dictionaries nest deeper than " +
                             std::to_string(kMaxValueJsonDepth) + " levels");
}

Json toJson(const Value& value, int depth);

std::string keyToJson(const std::string& key) {
    if (!isValidUtf8(key))
        return std::string(kRawKeyPrefix) + encodeBase64(Bytes(key.begin(), key.end()));
    return key.starts_with('$') ? "$" + key : key;
}

std::string keyFromJson(const std::string& key) {
    if (key.starts_with("$$")) return key.substr(1);
    if (key.starts_with(kRawKeyPrefix)) {
        auto bytes = decodeBase64(std::string_view(key).substr(kRawKeyPrefix.size()));
        if (!bytes) throw ValueJsonError("a $rawKey: key holds invalid base64");
        return std::string(bytes->begin(), bytes->end());
    }
    return key;
}

// `depth` is the nesting level of the dictionary itself (the top level is 1).
Json dictionaryToJson(const Dictionary& dictionary, int depth) {
    checkDepth(depth);
    Json object = Json::object();
    for (const auto& [key, item] : dictionary) object[keyToJson(key)] = toJson(item, depth + 1);
    return object;
}

Json toJson(const Value& value, int depth) {
    switch (value.kind()) {
        case Value::Kind::Boolean: return *value.get<bool>();
        case Value::Kind::Integer: return *value.get<std::int64_t>();
        case Value::Kind::Unsigned: return tagged(kUnsignedTag, *value.get<std::uint64_t>());
        case Value::Kind::Double: {
            const double d = *value.get<double>();
            if (std::isnan(d)) return tagged(kDoubleTag, "nan");
            if (std::isinf(d)) return tagged(kDoubleTag, d > 0 ? "inf" : "-inf");
            return d;  // written with a fraction or exponent, so it reads back as a double
        }
        case Value::Kind::String: {
            const auto& s = *value.get<std::string>();
            if (isValidUtf8(s)) return s;
            return tagged(kRawStringTag, encodeBase64(Bytes(s.begin(), s.end())));
        }
        case Value::Kind::Bytes: return tagged(kBytesTag, encodeBase64(*value.get<Bytes>()));
        case Value::Kind::Date: return tagged(kDateTag, formatIsoDate(*value.get<Date>()));
        case Value::Kind::Array: {
            checkDepth(depth);
            Json array = Json::array();
            for (const auto& item : *value.get<Array>()) array.push_back(toJson(item, depth + 1));
            return array;
        }
        case Value::Kind::Dictionary: return dictionaryToJson(*value.get<Dictionary>(), depth);
    }
    throw ValueJsonError("unknown value kind");
}

const std::string& tagText(const Json& payload, std::string_view tag) {
    if (!payload.is_string()) throw ValueJsonError(std::string(tag) + " needs a string");
    return payload.get_ref<const std::string&>();
}

Value fromTagged(std::string_view tag, const Json& payload) {
    if (tag == kUnsignedTag) {
        if (payload.is_number_unsigned()) return Value(payload.get<std::uint64_t>());
        if (payload.is_number_integer() && payload.get<std::int64_t>() >= 0)
            return Value(static_cast<std::uint64_t>(payload.get<std::int64_t>()));
        throw ValueJsonError("$unsigned needs a non-negative integer");
    }
    if (tag == kDoubleTag) {
        if (payload.is_number()) return Value(payload.get<double>());
        const auto& text = tagText(payload, tag);
        if (text == "nan") return Value(std::numeric_limits<double>::quiet_NaN());
        if (text == "inf") return Value(std::numeric_limits<double>::infinity());
        if (text == "-inf") return Value(-std::numeric_limits<double>::infinity());
        throw ValueJsonError("$double: unknown value \"" + text + "\"");
    }
    if (tag == kRawStringTag || tag == kBytesTag) {
        auto bytes = decodeBase64(tagText(payload, tag));
        if (!bytes) throw ValueJsonError(std::string(tag) + " holds invalid base64");
        if (tag == kBytesTag) return Value(std::move(*bytes));
        return Value(std::string(bytes->begin(), bytes->end()));
    }
    auto date = parseIsoDate(tagText(payload, tag));
    if (!date) throw ValueJsonError("$date holds an invalid date");
    return Value(*date);
}

// `depth` as in toJson. The JSON tree itself is built and destroyed without recursion, so
// only this walk needs the bound.
Value fromJson(const Json& json, int depth) {
    switch (json.type()) {
        case Json::value_t::boolean: return Value(json.get<bool>());
        case Json::value_t::number_integer: return Value(json.get<std::int64_t>());
        case Json::value_t::number_unsigned: {
            const auto u = json.get<std::uint64_t>();
            if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return Value(static_cast<std::int64_t>(u));
            return Value(u);
        }
        case Json::value_t::number_float: return Value(json.get<double>());
        case Json::value_t::string: return Value(json.get<std::string>());
        case Json::value_t::array: {
            checkDepth(depth);
            Array array;
            array.reserve(json.size());
            for (const auto& item : json) array.push_back(fromJson(item, depth + 1));
            return Value(std::move(array));
        }
        case Json::value_t::object: {
            if (json.size() == 1 && isTag(json.begin().key()))
                return fromTagged(json.begin().key(), json.begin().value());
            checkDepth(depth);
            Dictionary dictionary;
            for (auto it = json.begin(); it != json.end(); ++it)
                dictionary.emplace(keyFromJson(it.key()), fromJson(it.value(), depth + 1));
            return Value(std::move(dictionary));
        }
        default: break;
    }
    throw ValueJsonError("JSON null or binary has no value kind");
}

// The lenient reader of a settings file: the top-level object is scanned here, each value
// is handed to the strict parser on its own.
class EntryScanner {
public:
    explicit EntryScanner(std::string_view text) : text_(text) {}

    DictionaryReading read() {
        skipSpace();
        if (atEnd()) return fail(text_.empty() ? "the file is empty" : "the file holds only blank space");
        if (text_[pos_] != '{') return fail("the file does not hold a dictionary");
        ++pos_;
        std::string lastKey;
        for (bool first = true;; first = false) {
            skipSpace();
            if (atEnd()) return cut(lastKey);
            if (text_[pos_] == '}' && first) break;
            if (text_[pos_] != '"') return damaged(lastKey);
            const std::string_view keyText = scanValue();
            skipSpace();
            if (atEnd() || text_[pos_] != ':') return atEnd() ? cut(lastKey) : damaged(lastKey);
            ++pos_;
            skipSpace();
            const std::string_view valueText = scanValue();
            if (atEnd()) return cut(lastKey);
            lastKey = entry(keyText, valueText);
            skipSpace();
            if (atEnd()) return cut(lastKey);
            if (text_[pos_] == '}') break;
            if (text_[pos_] != ',') return damaged(lastKey);
            ++pos_;
        }
        ++pos_;
        skipSpace();
        if (!atEnd()) reading_.problems.push_back("text after the closing brace was ignored");
        if (commentSeen_) reading_.problems.push_back("comments are not allowed and were ignored");
        return std::move(reading_);
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }

    // Blank space, and comments (which JSON has not; noted once).
    void skipSpace() {
        while (!atEnd()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++pos_;
            } else if (text_.substr(pos_, 2) == "//") {
                commentSeen_ = true;
                pos_ = std::min(text_.find('\n', pos_), text_.size());
            } else if (text_.substr(pos_, 2) == "/*") {
                commentSeen_ = true;
                const auto end = text_.find("*/", pos_ + 2);
                pos_ = end == std::string_view::npos ? text_.size() : end + 2;
            } else {
                return;
            }
        }
    }

    // The text of one value (or key): a string, or everything up to the ',' or '}' that
    // ends it at its own nesting level.
    std::string_view scanValue() {
        const std::size_t start = pos_;
        int depth = 0;
        while (!atEnd()) {
            const char c = text_[pos_];
            if (c == '"') {
                for (++pos_; !atEnd() && text_[pos_] != '"'; ++pos_)
                    if (text_[pos_] == '\\') ++pos_;
                if (atEnd()) break;
                ++pos_;
                if (depth == 0) break;
                continue;
            }
            if (depth == 0 && (c == ',' || c == '}' || c == ':' || c == '\n' || c == '/')) break;
            if (c == '[' || c == '{') ++depth;
            if (c == ']' || c == '}') --depth;
            ++pos_;
        }
        std::string_view value = text_.substr(start, std::min(pos_, text_.size()) - start);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
            value.remove_suffix(1);
        return value;
    }

    // Decodes one entry; answers the key for later messages.
    std::string entry(std::string_view keyText, std::string_view valueText) {
        const Json keyJson = Json::parse(keyText, nullptr, false);
        if (keyJson.is_discarded() || !keyJson.is_string()) {
            reading_.problems.push_back("a key that is not valid text was skipped");
            return {};
        }
        std::string key;
        try {
            key = keyFromJson(keyJson.get<std::string>());
        } catch (const ValueJsonError&) {
            reading_.problems.push_back("a key that is not valid text was skipped");
            return {};
        }
        const std::string shown = keyJson.get<std::string>();
        const Json json = Json::parse(valueText, nullptr, false);
        if (json.is_discarded()) {
            reading_.problems.push_back("the value of \"" + shown + "\" is not valid JSON");
            return shown;
        }
        try {
            reading_.values.insert_or_assign(std::move(key), fromJson(json, 2));
        } catch (const ValueJsonError& error) {
            reading_.problems.push_back("the value of \"" + shown + "\" cannot be read (" +
                                        error.what() + ")");
        }
        return shown;
    }

    DictionaryReading fail(std::string why) {
        reading_.problems.push_back(std::move(why));
        reading_.complete = false;
        return std::move(reading_);
    }
    DictionaryReading cut(const std::string& lastKey) {
        return fail(lastKey.empty() ? "the file ends before its closing brace"
                                    : "the file ends before its closing brace, after \"" + lastKey + "\"");
    }
    DictionaryReading damaged(const std::string& lastKey) {
        return fail(lastKey.empty() ? "the file is damaged before its first setting"
                                    : "the file is damaged after \"" + lastKey + "\"");
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    bool commentSeen_ = false;
    DictionaryReading reading_;
};

Json parse(std::string_view text) {
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::exception& error) {
        throw ValueJsonError(error.what());
    }
}

std::string dump(const Json& json, int indent) {
    try {
        return json.dump(indent);
    } catch (const Json::exception& error) {
        throw ValueJsonError(error.what());
    }
}

int digits(std::string_view text, std::size_t at, std::size_t count) {
    int number = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        number = number * 10 + (text[i] - '0');
    }
    return number;
}

}  // namespace

std::string encodeJson(const Value& value, int indent) { return dump(toJson(value, 1), indent); }

Value decodeJson(std::string_view text) { return fromJson(parse(text), 1); }

std::string encodeDictionaryJson(const Dictionary& dictionary, int indent) {
    return dump(dictionaryToJson(dictionary, 1), indent);
}

DictionaryReading readDictionaryJson(std::string_view text) {
    try {
        return EntryScanner(text).read();
    } catch (const std::exception& error) {  // only allocation can fail here
        DictionaryReading reading;
        reading.problems.push_back(error.what());
        reading.complete = false;
        return reading;
    }
}

Dictionary decodeDictionaryJson(std::string_view text) {
    Value value = decodeJson(text);
    auto* dictionary = value.get<Dictionary>();
    if (!dictionary) throw ValueJsonError("the top level is not a dictionary");
    return std::move(*dictionary);
}

std::string formatIsoDate(Date date) {
    // Whole seconds rounded down and a non-negative fraction, computed without converting
    // the seconds back to nanoseconds (which overflows at the earliest dates).
    const std::int64_t count = date.time_since_epoch().count();
    std::int64_t wholeSeconds = count / 1'000'000'000;
    std::int64_t fraction = count % 1'000'000'000;
    if (fraction < 0) {
        fraction += 1'000'000'000;
        wholeSeconds -= 1;
    }
    const std::time_t time = static_cast<std::time_t>(wholeSeconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09lldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<long long>(fraction));
    return text;
}

std::optional<Date> parseIsoDate(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.f{1,9}]Z
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text.back() != 'Z')
        return std::nullopt;
    std::tm parts{};
    const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    long long nanos = 0;
    const std::string_view rest = text.substr(19, text.size() - 20);
    if (!rest.empty()) {
        if (rest[0] != '.' || rest.size() < 2 || rest.size() > 10) return std::nullopt;
        const int count = static_cast<int>(rest.size()) - 1;
        for (int i = 1; i <= count; ++i) {
            if (rest[i] < '0' || rest[i] > '9') return std::nullopt;
            nanos = nanos * 10 + (rest[i] - '0');
        }
        for (int i = count; i < 9; ++i) nanos *= 10;
    }
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    const std::time_t seconds = timegm(&parts);
    // Day 31 of a 30-day month and the like come back normalised: refuse them.
    if (parts.tm_mday != day || parts.tm_mon != month - 1) return std::nullopt;
    // The Date clock counts 64-bit nanoseconds: take every date it can hold, down to its
    // first and last nanosecond, and nothing beyond.
    __extension__ typedef __int128 Wide;  // holds every seconds * 10^9 + nanoseconds
    const Wide count = static_cast<Wide>(seconds) * 1'000'000'000 + nanos;
    if (count > std::numeric_limits<std::int64_t>::max() || count < std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
    return Date(Date::duration(static_cast<std::int64_t>(count)));
}

std::string encodeBase64(const Bytes& bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        text += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63],
                 kAlphabet[n & 63]};
    }
    if (const std::size_t left = bytes.size() - i; left > 0) {
        std::uint32_t n = bytes[i] << 16;
        if (left == 2) n |= bytes[i + 1] << 8;
        text += kAlphabet[n >> 18];
        text += kAlphabet[(n >> 12) & 63];
        text += left == 2 ? kAlphabet[(n >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::optional<Bytes> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    auto sextet = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    Bytes bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (padding == 1 && text[i + 2] == '=') return std::nullopt;
        std::uint32_t n = 0;
        for (int j = 0; j < 4 - padding; ++j) {
            const int v = sextet(text[i + j]);
            if (v < 0) return std::nullopt;
            n |= static_cast<std::uint32_t>(v) << (18 - 6 * j);
        }
        bytes.push_back(static_cast<std::uint8_t>(n >> 16));
        if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(n >> 8));
        if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(n));
    }
    return bytes;
}

}  // namespace vorrel::platform
