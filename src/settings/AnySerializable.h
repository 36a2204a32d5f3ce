#pragma once
// AnySerializable: one storable value of any type, or nil.
//
//   AnySerializable a = true;                 // Boolean
//   AnySerializable b = 42;                   // integer
//   AnySerializable c = "text";               // string
//   AnySerializable d = std::vector<AnySerializable>{1, "x", 2.5};        // array
//   AnySerializable e = std::map<std::string, AnySerializable>{{"k", 1}}; // dictionary
//   AnySerializable n = nullptr;              // nil: writing it removes the stored object
//   std::optional<int> i = b.get<int>();     // read out through int's toValue
//
// Any Serializable value converts on construction (toSerializable); a value that cannot
// be stored makes a nil AnySerializable. It is stored as its held object, unchanged.
// A value type; thread-safe like any value.

#include <cstddef>
#include <optional>
#include <string>
#include <type_traits>

#include "settings/Serializable.h"

namespace vorrel::Prefs {

class AnySerializable {
public:
    AnySerializable() = default;
    AnySerializable(std::nullptr_t) {}
    AnySerializable(const char* text) : value_(Object(text)) {}
    explicit AnySerializable(std::optional<Object> object) : value_(std::move(object)) {}

    template <class T>
        requires(!std::is_same_v<std::remove_cvref_t<T>, AnySerializable> &&
                 !std::is_same_v<std::remove_cvref_t<T>, Object> &&
                 !std::is_same_v<std::remove_cvref_t<T>, std::optional<Object>> &&
                 SerializableType<std::remove_cvref_t<T>>)
    AnySerializable(const T& value) : value_(toSerializable(value)) {}

    // The held object; nothing for nil.
    const std::optional<Object>& value() const { return value_; }
    bool isNil() const { return !value_.has_value(); }

    // The held object read as a T (T's toValue); nothing for nil or no conversion.
    template <SerializableType T>
    std::optional<T> get() const {
        if (!value_) return std::nullopt;
        return toValue<T>(*value_);
    }

    friend bool operator==(const AnySerializable&, const AnySerializable&) = default;

private:
    std::optional<Object> value_;
};

inline bool isNil(const AnySerializable& value) { return value.isNil(); }

}  // namespace vorrel::Prefs
