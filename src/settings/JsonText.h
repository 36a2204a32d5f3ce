#pragma once
// JSON text: the stored form of JSON-codable values (a string holding compact JSON).
//
// Encoding uses a fresh nlohmann::json per value; its objects are ordered maps, so keys
// come out sorted. Decoding parses the whole text in the default (strict) configuration.
// Encoding failures (a string that is not UTF-8, a number JSON cannot hold, a throwing
// to_json) print the error to standard output and yield nothing; decoding failures yield
// nothing silently. Thread-safety: pure functions (standard output is shared, as ever).
//
// JsonCodec<T> is how one type becomes JSON and back: nlohmann's to_json/from_json for
// user types, with strict rules for the built-in scalars (no number is read as a Boolean,
// no fraction as an integer), bytes as base64 text and dates as seconds since
// 2001-01-01T00:00:00Z.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/Value.h"

namespace vorrel::Prefs {

// A type whose values nlohmann can write and read through to_json/from_json found by
// argument-dependent lookup (NLOHMANN_DEFINE_TYPE_*, NLOHMANN_JSON_SERIALIZE_ENUM or
// hand-written functions next to the type).
template <class T>
concept JsonCodable = requires(nlohmann::json& out, const nlohmann::json& in, const T& value,
                               T& target) {
    to_json(out, value);
    from_json(in, target);
};

namespace detail {

// Prints "<what>" of a failed encoding to standard output.
void reportEncodingError(const std::exception& error);
std::optional<nlohmann::json> parseJson(std::string_view text);
// Seconds between 1970-01-01 and 2001-01-01, the reference date of dates in JSON text.
inline constexpr double referenceDateOffset = 978307200.0;

}  // namespace detail

template <class T>
struct JsonCodec {
    static nlohmann::json encode(const T& value) { return nlohmann::json(value); }
    static std::optional<T> decode(const nlohmann::json& json) { return json.get<T>(); }
};

template <>
struct JsonCodec<bool> {
    static nlohmann::json encode(bool value) { return value; }
    static std::optional<bool> decode(const nlohmann::json& json) {
        if (!json.is_boolean()) return std::nullopt;
        return json.get<bool>();
    }
};

template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
struct JsonCodec<T> {
    static nlohmann::json encode(T value) { return value; }
    static std::optional<T> decode(const nlohmann::json& json) {
        if (json.is_number_unsigned()) {
            auto u = json.get<std::uint64_t>();
            if (!std::in_range<T>(u)) return std::nullopt;
            return static_cast<T>(u);
        }
        if (json.is_number_integer()) {
            auto i = json.get<std::int64_t>();
            if (!std::in_range<T>(i)) return std::nullopt;
            return static_cast<T>(i);
        }
        return std::nullopt;
    }
};

template <class T>
    requires std::is_floating_point_v<T>
struct JsonCodec<T> {
    static nlohmann::json encode(T value) {
        if (!std::isfinite(value)) throw std::domain_error("JSON cannot hold a non-finite number");
        return static_cast<double>(value);
    }
    static std::optional<T> decode(const nlohmann::json& json) {
        if (!json.is_number()) return std::nullopt;
        return static_cast<T>(json.get<double>());
    }
};

template <>
struct JsonCodec<std::string> {
    static nlohmann::json encode(const std::string& value) { return value; }
    static std::optional<std::string> decode(const nlohmann::json& json) {
        if (!json.is_string()) return std::nullopt;
        return json.get<std::string>();
    }
};

template <>
struct JsonCodec<platform::Bytes> {
    static nlohmann::json encode(const platform::Bytes& value);
    static std::optional<platform::Bytes> decode(const nlohmann::json& json);
};

template <>
struct JsonCodec<platform::Date> {
    static nlohmann::json encode(const platform::Date& value);
    static std::optional<platform::Date> decode(const nlohmann::json& json);
};

// The JSON text of a value, or nothing (error printed) when it cannot be encoded.
template <class T>
std::optional<std::string> encodeJsonText(const T& value) {
    try {
        return JsonCodec<T>::encode(value).dump();
    } catch (const std::exception& error) {
        detail::reportEncodingError(error);
        return std::nullopt;
    }
}

// The value a JSON text holds, or nothing.
template <class T>
std::optional<T> decodeJsonText(std::string_view text) {
    auto json = detail::parseJson(text);
    if (!json) return std::nullopt;
    try {
        return JsonCodec<T>::decode(*json);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace vorrel::Prefs
