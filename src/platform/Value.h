#pragma once
// A property-list value: the kinds of object a defaults suite and a bundle's information
// dictionary can hold. Every kind is kept losslessly: a 64-bit integer stays an integer, a
// double stays a double, bytes and dates keep their own kind.
//
//   Value v = true;               // Boolean
//   Value n = std::int64_t{42};    // signed 64-bit integer
//   Value d = Dictionary{{"a", Value{"x"}}};
//   if (auto* s = v.get<std::string>()) ...
//
// Absence is expressed with std::optional<Value>, never with a special value.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vorrel::platform {

class Value;
using Bytes = std::vector<std::uint8_t>;
using Date = std::chrono::system_clock::time_point;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value, std::less<>>;

class Value {
public:
    enum class Kind { Boolean, Integer, Unsigned, Double, String, Bytes, Date, Array, Dictionary };
    using Storage = std::variant<bool, std::int64_t, std::uint64_t, double, std::string,
                                 platform::Bytes, platform::Date, platform::Array,
                                 platform::Dictionary>;

    Value() : storage_(false) {}
    Value(bool b) : storage_(b) {}
    Value(std::int64_t i) : storage_(i) {}
    Value(std::uint64_t u) : storage_(u) {}
    Value(int i) : storage_(std::int64_t{i}) {}
    Value(double d) : storage_(d) {}
    Value(std::string s) : storage_(std::move(s)) {}
    Value(std::string_view s) : storage_(std::string(s)) {}
    Value(const char* s) : storage_(std::string(s)) {}
    Value(platform::Bytes b) : storage_(std::move(b)) {}
    Value(platform::Date d) : storage_(d) {}
    Value(platform::Array a) : storage_(std::move(a)) {}
    Value(platform::Dictionary d) : storage_(std::move(d)) {}

    Kind kind() const { return static_cast<Kind>(storage_.index()); }
    const Storage& storage() const { return storage_; }

    template <class T>
    bool is() const { return std::holds_alternative<T>(storage_); }
    // The held value when it is of kind T, else nullptr.
    template <class T>
    const T* get() const { return std::get_if<T>(&storage_); }
    template <class T>
    T* get() { return std::get_if<T>(&storage_); }

    bool isNumber() const {
        return is<bool>() || is<std::int64_t>() || is<std::uint64_t>() || is<double>();
    }
    // Numeric reading across the number kinds (Boolean counts as 0 or 1), as a
    // property-list number object answers it. Nothing for non-numbers.
    std::optional<double> asDouble() const;
    std::optional<std::int64_t> asInt64() const;  // nothing when out of range or fractional

    friend bool operator==(const Value& a, const Value& b) { return a.storage_ == b.storage_; }

private:
    Storage storage_;
};

std::string_view kindName(Value::Kind kind);

}  // namespace vorrel::platform
