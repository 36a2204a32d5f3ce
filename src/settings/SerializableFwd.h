#pragma once
// Declarations shared by the value bridges (Bridges.h) and the Serializable trait
// (Serializable.h). Include "settings/Prefs.h" rather than this file.

#include <optional>
#include <type_traits>

#include "platform/Value.h"

namespace vorrel::Prefs {

// A stored object: what a suite holds under a key.
using Object = platform::Value;

// The trait every storable value type has. See Serializable.h.
template <class T>
struct Serializable;

// True when T has a usable Serializable trait (a bridge, possibly native storage).
template <class T>
concept SerializableType = !std::is_void_v<typename Serializable<T>::Bridge>;

// Value -> storable object, or nothing when the value cannot be stored.
template <SerializableType T>
std::optional<Object> toSerializable(const T& value);

// Stored object -> value, or nothing when the object does not convert.
template <SerializableType T>
std::optional<T> toValue(const Object& object);

// True for the "nothing" of an optional value: an empty std::optional, a nil
// AnySerializable. Writing such a value removes the stored object; a key whose fixed
// default is nil registers nothing.
template <class T>
bool isNil(const T&) {
    return false;
}
template <class T>
bool isNil(const std::optional<T>& value) {
    return !value.has_value();
}

}  // namespace vorrel::Prefs
