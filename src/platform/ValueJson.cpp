#include "platform/ValueJson.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <nlohmann/json.hpp>

namespace vorrel::platform {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kUnsignedTag = "$unsigned";
constexpr std::string_view kDoubleTag = "$double";
constexpr std::string_view kRawStringTag = "$rawString";
constexpr std::string_view kBytesTag = "$bytes";
constexpr std::string_view kDateTag = "$date";

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

Json toJson(const Value& value);

Json dictionaryToJson(const Dictionary& dictionary) {
    Json object = Json::object();
    for (const auto& [key, item] : dictionary) {
        if (!isValidUtf8(key)) throw ValueJsonError("a dictionary key is not valid UTF-8");
        object[key.starts_with('$') ? "$" + key : key] = toJson(item);
    }
    return object;
}

Json toJson(const Value& value) {
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
            Json array = Json::array();
            for (const auto& item : *value.get<Array>()) array.push_back(toJson(item));
            return array;
        }
        case Value::Kind::Dictionary: return dictionaryToJson(*value.get<Dictionary>());
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

Value fromJson(const Json& json) {
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
            Array array;
            array.reserve(json.size());
            for (const auto& item : json) array.push_back(fromJson(item));
            return Value(std::move(array));
        }
        case Json::value_t::object: {
            if (json.size() == 1 && isTag(json.begin().key()))
                return fromTagged(json.begin().key(), json.begin().value());
            Dictionary dictionary;
            for (auto it = json.begin(); it != json.end(); ++it) {
                const std::string& key = it.key();
                dictionary.emplace(key.starts_with("$$") ? key.substr(1) : key, fromJson(it.value()));
            }
            return Value(std::move(dictionary));
        }
        default: break;
    }
    throw ValueJsonError("JSON null or binary has no value kind");
}

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

std::string encodeJson(const Value& value, int indent) { return dump(toJson(value), indent); }

Value decodeJson(std::string_view text) { return fromJson(parse(text)); }

std::string encodeDictionaryJson(const Dictionary& dictionary, int indent) {
    return dump(dictionaryToJson(dictionary), indent);
}

Dictionary decodeDictionaryJson(std::string_view text) {
    Value value = decodeJson(text);
    auto* dictionary = value.get<Dictionary>();
    if (!dictionary) throw ValueJsonError("the top level is not a dictionary");
    return std::move(*dictionary);
}

std::string formatIsoDate(Date date) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<nanoseconds>(date.time_since_epoch());
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    const auto fraction = (sinceEpoch - wholeSeconds).count();
    const std::time_t time = static_cast<std::time_t>(wholeSeconds.count());
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
    // The Date clock counts 64-bit nanoseconds; keep clear of its overflow.
    constexpr long long kLimit = std::numeric_limits<long long>::max() / 1'000'000'000 - 1;
    if (seconds > kLimit || seconds < -kLimit) return std::nullopt;
    using namespace std::chrono;
    return Date(duration_cast<Date::duration>(std::chrono::seconds(seconds) + nanoseconds(nanos)));
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
