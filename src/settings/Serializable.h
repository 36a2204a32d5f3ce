#pragma once
// Serializable<T>: what a value type tells Prefs about its storage.
//
//   static constexpr bool isNativelySupportedType;  stored unchanged as a suite object
//   using Bridge = ...;                             see Bridges.h
//   static Bridge bridge();
// and, for native types only,
//   static std::optional<Object> toObject(const T&);      the value as a suite object
//   static std::optional<T> fromObject(const Object&);    the object when it already is a T
//
// Native types (stored unchanged):
//   bool; every integer type (signed ones as Integer, unsigned ones as Unsigned); double;
//   float (as Double); std::string; platform::Bytes (std::vector<std::uint8_t>);
//   platform::Date; std::vector<E>, std::map<std::string, V> and std::optional<T> when
//   their element, value or wrapped type is native.
// A native type still has a bridge, consulted only when a read finds an object of another
// kind: scalars read a stored string as JSON text (a Boolean key reads "true" as true),
// containers convert element by element.
//
// Bridged types (the bridge decides what is stored):
//   JSON-codable types (JsonCodable)          JSON text
//   types with a raw value (RawRepresentable) the raw value; JSON text when also
//   (enumerations: with EnumCases)            JSON-codable, unless preferRawRepresentable
//   std::filesystem::path (a file URL)        JSON text of its URL string
//   Uuid                                      canonical string
//   Range, ClosedRange                        [lower, upper]
//   std::set, std::unordered_set, custom set-algebra types and collections: arrays
//   std::vector, std::map/std::unordered_map (keys by KeyText) and std::optional of
//   bridged types: arrays, dictionaries, the wrapped type's form
//   AnySerializable                           its held object
// Keyed archives have no counterpart here, so no family is stored as archived data.
//
// toSerializable(value):
//   1. an empty optional (isNil) stores nothing;
//   2. a native type is its own object;
//   3. otherwise the bridge serializes it; when the result is itself a Serializable type,
//      that type's toSerializable converts it again (raw values, elements).
// toValue(object):
//   1. a native type whose object is already of its kind is returned as it is;
//   2. otherwise, when the bridge's Serializable type S is another Serializable type, the
//      object is converted with S's toValue first, then deserialized by the bridge;
//   3. otherwise (S is Object, or S is the type itself) the object is handed to the
//      bridge as it is, or nothing when it is not an S.
// Thread-safety: pure functions.

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "settings/Bridges.h"
#include "settings/SerializableFwd.h"

namespace vorrel::Prefs {

namespace detail {

template <class T>
struct NativeScalar {
    static constexpr bool isNativelySupportedType = true;
    using Bridge = TopLevelCodableBridge<T>;
    static Bridge bridge() { return {}; }
};

template <class T>
auto pickDefaultBridge() {
    if constexpr (isCollectionSerializable<T>) {
        return std::type_identity<CollectionBridge<T>>{};
    } else if constexpr (isSetAlgebraSerializable<T>) {
        return std::type_identity<SetAlgebraBridge<T>>{};
    } else if constexpr (HasRawValue<T>) {
        if constexpr (JsonCodable<T> && !preferRawRepresentable<T>)
            return std::type_identity<RawRepresentableCodableBridge<T>>{};
        else if constexpr (SerializableType<typename RawRepresentable<T>::RawValue>)
            return std::type_identity<RawRepresentableBridge<T>>{};
        else
            return std::type_identity<void>{};
    } else if constexpr (preferRawRepresentable<T>) {
        return std::type_identity<void>{};  // asked for a raw value it does not have
    } else if constexpr (JsonCodable<T>) {
        return std::type_identity<TopLevelCodableBridge<T>>{};
    } else {
        return std::type_identity<void>{};
    }
}

}  // namespace detail

// User types: collections and set-algebra types that opted in, types with a raw value
// (enumerations that list their cases), JSON-codable types. Anything else has
// Bridge = void and is not a SerializableType.
template <class T>
struct Serializable {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = typename decltype(detail::pickDefaultBridge<T>())::type;
    static Bridge bridge() { return Bridge{}; }
};

template <>
struct Serializable<bool> : detail::NativeScalar<bool> {
    static std::optional<Object> toObject(bool value) { return Object(value); }
    static std::optional<bool> fromObject(const Object& object) {
        if (auto* b = object.get<bool>()) return *b;
        // A number object holding exactly 0 or 1 converts to a Boolean.
        if (object.is<std::int64_t>() || object.is<std::uint64_t>()) {
            auto i = object.asInt64();
            if (i && (*i == 0 || *i == 1)) return *i == 1;
        }
        return std::nullopt;
    }
};

template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
struct Serializable<T> : detail::NativeScalar<T> {
    static std::optional<Object> toObject(T value) {
        if constexpr (std::is_signed_v<T>)
            return Object(static_cast<std::int64_t>(value));
        else
            return Object(static_cast<std::uint64_t>(value));
    }
    // Any number object that holds exactly a T.
    static std::optional<T> fromObject(const Object& object) {
        if (auto* u = object.get<std::uint64_t>()) {
            if (std::in_range<T>(*u)) return static_cast<T>(*u);
            return std::nullopt;
        }
        if (!object.isNumber()) return std::nullopt;
        auto i = object.asInt64();
        if (!i || !std::in_range<T>(*i)) return std::nullopt;
        return static_cast<T>(*i);
    }
};

template <class T>
    requires(std::is_same_v<T, double> || std::is_same_v<T, float>)
struct Serializable<T> : detail::NativeScalar<T> {
    static std::optional<Object> toObject(T value) { return Object(static_cast<double>(value)); }
    // Any number object; a float only when it holds the number exactly.
    static std::optional<T> fromObject(const Object& object) {
        auto d = object.asDouble();
        if (!d) return std::nullopt;
        if constexpr (std::is_same_v<T, float>) {
            if (std::isnan(*d)) return std::numeric_limits<float>::quiet_NaN();
            auto f = static_cast<float>(*d);
            if (static_cast<double>(f) != *d) return std::nullopt;
            return f;
        } else {
            return *d;
        }
    }
};

template <>
struct Serializable<std::string> : detail::NativeScalar<std::string> {
    static std::optional<Object> toObject(const std::string& value) { return Object(value); }
    static std::optional<std::string> fromObject(const Object& object) {
        if (auto* s = object.get<std::string>()) return *s;
        return std::nullopt;
    }
};

template <>
struct Serializable<platform::Bytes> : detail::NativeScalar<platform::Bytes> {
    static std::optional<Object> toObject(const platform::Bytes& value) { return Object(value); }
    static std::optional<platform::Bytes> fromObject(const Object& object) {
        if (auto* b = object.get<platform::Bytes>()) return *b;
        return std::nullopt;
    }
};

template <>
struct Serializable<platform::Date> : detail::NativeScalar<platform::Date> {
    static std::optional<Object> toObject(const platform::Date& value) { return Object(value); }
    static std::optional<platform::Date> fromObject(const Object& object) {
        if (auto* d = object.get<platform::Date>()) return *d;
        return std::nullopt;
    }
};

template <class E>
    requires SerializableType<E>
struct Serializable<std::vector<E>> {
    static constexpr bool isNativelySupportedType = Serializable<E>::isNativelySupportedType;
    using Bridge = ArrayBridge<E>;
    static Bridge bridge() { return {}; }
    static std::optional<Object> toObject(const std::vector<E>& value) {
        platform::Array array;
        array.reserve(value.size());
        for (const auto& element : value)
            if (auto object = Serializable<E>::toObject(element)) array.push_back(std::move(*object));
        return Object(std::move(array));
    }
    // Only when every element already is of its kind; otherwise the bridge converts.
    static std::optional<std::vector<E>> fromObject(const Object& object) {
        const auto* array = object.get<platform::Array>();
        if (!array) return std::nullopt;
        std::vector<E> result;
        result.reserve(array->size());
        for (const auto& item : *array) {
            auto element = Serializable<E>::fromObject(item);
            if (!element) return std::nullopt;
            result.push_back(std::move(*element));
        }
        return result;
    }
};

template <class K, class V, class C, class A>
    requires DictionaryKey<K> && SerializableType<V>
struct Serializable<std::map<K, V, C, A>> {
    using Map = std::map<K, V, C, A>;
    static constexpr bool isNativelySupportedType =
        std::is_same_v<K, std::string> && Serializable<V>::isNativelySupportedType;
    using Bridge = DictionaryBridge<Map>;
    static Bridge bridge() { return {}; }
    static std::optional<Object> toObject(const Map& value) {
        platform::Dictionary dictionary;
        for (const auto& [key, mapped] : value)
            if (auto object = Serializable<V>::toObject(mapped)) dictionary.insert_or_assign(key, std::move(*object));
        return Object(std::move(dictionary));
    }
    static std::optional<Map> fromObject(const Object& object) {
        const auto* dictionary = object.get<platform::Dictionary>();
        if (!dictionary) return std::nullopt;
        Map result;
        for (const auto& [key, item] : *dictionary) {
            auto mapped = Serializable<V>::fromObject(item);
            if (!mapped) return std::nullopt;
            result.insert_or_assign(key, std::move(*mapped));
        }
        return result;
    }
};

template <class K, class V, class H, class E, class A>
    requires DictionaryKey<K> && SerializableType<V>
struct Serializable<std::unordered_map<K, V, H, E, A>> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = DictionaryBridge<std::unordered_map<K, V, H, E, A>>;
    static Bridge bridge() { return {}; }
};

template <class T>
    requires SerializableType<T>
struct Serializable<std::optional<T>> {
    static constexpr bool isNativelySupportedType = Serializable<T>::isNativelySupportedType;
    using Bridge = OptionalBridge<T>;
    static Bridge bridge() { return {}; }
    static std::optional<Object> toObject(const std::optional<T>& value) {
        if (!value) return std::nullopt;
        return Serializable<T>::toObject(*value);
    }
    static std::optional<std::optional<T>> fromObject(const Object& object) {
        auto wrapped = Serializable<T>::fromObject(object);
        if (!wrapped) return std::nullopt;
        return std::optional<T>(std::move(*wrapped));
    }
};

template <class T, class C, class A>
    requires SerializableType<T>
struct Serializable<std::set<T, C, A>> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = SetBridge<std::set<T, C, A>>;
    static Bridge bridge() { return {}; }
};

template <class T, class H, class E, class A>
    requires SerializableType<T>
struct Serializable<std::unordered_set<T, H, E, A>> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = SetBridge<std::unordered_set<T, H, E, A>>;
    static Bridge bridge() { return {}; }
};

template <class B>
    requires SerializableType<B>
struct Serializable<Range<B>> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = RangeBridge<Range<B>>;
    static Bridge bridge() { return {}; }
};

template <class B>
    requires SerializableType<B>
struct Serializable<ClosedRange<B>> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = RangeBridge<ClosedRange<B>>;
    static Bridge bridge() { return {}; }
};

template <>
struct Serializable<Uuid> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = UUIDBridge;
    static Bridge bridge() { return {}; }
};

template <>
struct Serializable<std::filesystem::path> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = URLBridge;
    static Bridge bridge() { return {}; }
};

template <>
struct Serializable<AnySerializable> {
    static constexpr bool isNativelySupportedType = false;
    using Bridge = AnyBridge;
    static Bridge bridge() { return {}; }
};

template <SerializableType T>
std::optional<Object> toSerializable(const T& value) {
    using Trait = Serializable<T>;
    if (isNil(value)) return std::nullopt;
    if constexpr (Trait::isNativelySupportedType) {
        return Trait::toObject(value);
    } else {
        using Bridge = typename Trait::Bridge;
        using Stored = typename Bridge::Serializable;
        std::optional<Stored> stored = Bridge::serialize(std::optional<T>(value));
        if (!stored) return std::nullopt;
        if constexpr (std::is_same_v<Stored, Object>)
            return std::move(*stored);
        else
            return toSerializable<Stored>(*stored);
    }
}

template <SerializableType T>
std::optional<T> toValue(const Object& object) {
    using Trait = Serializable<T>;
    if constexpr (Trait::isNativelySupportedType) {
        if (auto value = Trait::fromObject(object)) return value;
    }
    using Bridge = typename Trait::Bridge;
    using Stored = typename Bridge::Serializable;
    if constexpr (std::is_same_v<Stored, Object>) {
        return Bridge::deserialize(std::optional<Object>(object));
    } else if constexpr (!std::is_same_v<Stored, T>) {
        return Bridge::deserialize(toValue<Stored>(object));
    } else if constexpr (Trait::isNativelySupportedType) {
        // The object is not a T: there is nothing to hand to the bridge.
        return std::nullopt;
    } else {
        return Bridge::deserialize(std::nullopt);
    }
}

}  // namespace vorrel::Prefs
