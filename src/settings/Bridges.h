#pragma once
// The value bridges: how a value type that a suite cannot hold as it is becomes a stored
// object and back.
//
// A bridge is a stateless type with
//   using Value = ...;          the value type it serves
//   using Serializable = ...;   what it turns values into: a Serializable type (converted
//                               again with that type's toSerializable) or Object itself
//   static std::optional<Serializable> serialize(const std::optional<Value>&);
//   static std::optional<Value> deserialize(const std::optional<Serializable>&);
// Both return nothing for nothing. Element-wise bridges (arrays, sets, collections,
// dictionaries) leave out elements that fail to convert instead of failing the whole value.
// Thread-safety: pure functions.

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/JsonText.h"
#include "settings/Range.h"
#include "settings/SerializableFwd.h"
#include "settings/Uuid.h"

namespace vorrel::Prefs {

class AnySerializable;

// A value type whose values have a raw value, as enumerations do. Specialise it for your
// type with
//   using RawValue = ...;                                  any Serializable type
//   static RawValue rawValue(const T&);
//   static std::optional<T> fromRawValue(const RawValue&); nothing for "no such case"
// An enumeration that lists its cases in EnumCases has one already: its underlying
// integer, where a number that names no case reads as nothing (so a key reads its
// default). Specialise RawRepresentable for an enumeration to store names instead.
template <class T, class = void>
struct RawRepresentable {};

// The cases of an enumeration:
//   template <> struct EnumCases<Mode> { static constexpr std::array values{Mode::fast, Mode::slow}; };
// C++ cannot list them by itself, and without the list any number would read as a value.
template <class T>
struct EnumCases {};

template <class T>
concept ListsEnumCases = std::is_enum_v<T> && requires {
    { *std::begin(EnumCases<T>::values) } -> std::convertible_to<T>;
};

template <class T>
    requires ListsEnumCases<T>
struct RawRepresentable<T> {
    using RawValue = std::underlying_type_t<T>;
    static RawValue rawValue(T value) { return static_cast<RawValue>(value); }
    static std::optional<T> fromRawValue(RawValue raw) {
        for (const T value : EnumCases<T>::values)
            if (static_cast<RawValue>(value) == raw) return value;
        return std::nullopt;
    }
};

template <class T>
concept HasRawValue = requires { typename RawRepresentable<T>::RawValue; };

// A JSON-codable type that also has a raw value is stored as JSON text unless this is set
// to true for it, in which case its raw value is stored. Setting it for a type without a
// raw value (an enumeration that lists no cases) makes the type unstorable rather than
// quietly stored as JSON text.
template <class T>
inline constexpr bool preferRawRepresentable = false;

// Opt-ins for custom collections, stored as arrays of their elements:
//   isCollectionSerializable<T>: T has value_type, begin()/end() and a constructor taking
//     std::vector<value_type> (in order);
//   isSetAlgebraSerializable<T>: T has value_type, begin()/end(), a default constructor
//     and insert(value_type).
template <class T>
inline constexpr bool isCollectionSerializable = false;
template <class T>
inline constexpr bool isSetAlgebraSerializable = false;

// Text form of dictionary keys: a key type K usable in a stored dictionary has KeyText<K>
// with text(K) and fromText(string) (nothing when the text names no key).
template <class K, class = void>
struct KeyText {};

template <>
struct KeyText<std::string> {
    static std::string text(const std::string& key) { return key; }
    static std::optional<std::string> fromText(const std::string& text) { return text; }
};

namespace detail {
std::optional<std::int64_t> parseSigned(const std::string& text);
std::optional<std::uint64_t> parseUnsigned(const std::string& text);
}  // namespace detail

template <class K>
    requires(std::is_integral_v<K> && !std::is_same_v<K, bool>)
struct KeyText<K> {
    static std::string text(K key) { return std::to_string(key); }
    static std::optional<K> fromText(const std::string& text) {
        if constexpr (std::is_signed_v<K>) {
            auto v = detail::parseSigned(text);
            if (!v || !std::in_range<K>(*v)) return std::nullopt;
            return static_cast<K>(*v);
        } else {
            auto v = detail::parseUnsigned(text);
            if (!v || !std::in_range<K>(*v)) return std::nullopt;
            return static_cast<K>(*v);
        }
    }
};

template <>
struct KeyText<Uuid> {
    static std::string text(const Uuid& key) { return key.string(); }
    static std::optional<Uuid> fromText(const std::string& text) { return Uuid::fromString(text); }
};

template <class K>
concept DictionaryKey = requires(const K& key, const std::string& text) {
    { KeyText<K>::text(key) } -> std::convertible_to<std::string>;
    { KeyText<K>::fromText(text) } -> std::convertible_to<std::optional<K>>;
};

// JSON text of the value (JSONCodable types).
template <class T>
struct TopLevelCodableBridge {
    using Value = T;
    using Serializable = std::string;
    static std::optional<std::string> serialize(const std::optional<T>& value) {
        if (!value) return std::nullopt;
        return encodeJsonText(*value);
    }
    static std::optional<T> deserialize(const std::optional<std::string>& text) {
        if (!text) return std::nullopt;
        return decodeJsonText<T>(*text);
    }
};

// JSON text of a JSON-codable type that also has a raw value.
template <class T>
struct RawRepresentableCodableBridge : TopLevelCodableBridge<T> {};

// The raw value, stored as its own type says.
template <class T>
struct RawRepresentableBridge {
    using Value = T;
    using Serializable = typename RawRepresentable<T>::RawValue;
    static std::optional<Serializable> serialize(const std::optional<T>& value) {
        if (!value) return std::nullopt;
        return RawRepresentable<T>::rawValue(*value);
    }
    static std::optional<T> deserialize(const std::optional<Serializable>& raw) {
        if (!raw) return std::nullopt;
        return RawRepresentable<T>::fromRawValue(*raw);
    }
};

namespace detail {
// "file://" and the percent-encoded absolute path; a relative path as a percent-encoded
// relative reference.
std::string fileUrlString(const std::filesystem::path& path);
// The inverse; nothing for another scheme or a malformed escape.
std::optional<std::filesystem::path> pathFromFileUrlString(const std::string& text);
}  // namespace detail

// A file URL (std::filesystem::path): JSON text of its URL string, e.g. "\"file:///a%20b\"".
struct URLBridge {
    using Value = std::filesystem::path;
    using Serializable = std::string;
    static std::optional<std::string> serialize(const std::optional<std::filesystem::path>& value);
    static std::optional<std::filesystem::path> deserialize(const std::optional<std::string>& text);
};

// The canonical string.
struct UUIDBridge {
    using Value = Uuid;
    using Serializable = std::string;
    static std::optional<std::string> serialize(const std::optional<Uuid>& value) {
        if (!value) return std::nullopt;
        return value->string();
    }
    static std::optional<Uuid> deserialize(const std::optional<std::string>& text) {
        if (!text) return std::nullopt;
        return Uuid::fromString(*text);
    }
};

// [lowerBound, upperBound]; nothing unless both bounds convert.
template <class R>
struct RangeBridge {
    using Value = R;
    using Serializable = Object;
    using Bound = decltype(R::lowerBound);
    static std::optional<Object> serialize(const std::optional<R>& range) {
        if (!range) return std::nullopt;
        auto lower = toSerializable(range->lowerBound);
        auto upper = toSerializable(range->upperBound);
        if (!lower || !upper) return std::nullopt;
        return Object(platform::Array{std::move(*lower), std::move(*upper)});
    }
    static std::optional<R> deserialize(const std::optional<Object>& object) {
        const platform::Array* array = object ? object->get<platform::Array>() : nullptr;
        if (!array || array->size() != 2) return std::nullopt;
        auto lower = toValue<Bound>((*array)[0]);
        auto upper = toValue<Bound>((*array)[1]);
        if (!lower || !upper) return std::nullopt;
        return R{std::move(*lower), std::move(*upper)};
    }
};

namespace detail {

template <class Elements>
platform::Array serializeElements(const Elements& elements) {
    platform::Array array;
    for (const auto& element : elements)
        if (auto object = toSerializable(element)) array.push_back(std::move(*object));
    return array;
}

template <class Element, class Insert>
bool deserializeElements(const std::optional<Object>& object, Insert insert) {
    const platform::Array* array = object ? object->get<platform::Array>() : nullptr;
    if (!array) return false;
    for (const auto& item : *array)
        if (auto element = toValue<Element>(item)) insert(std::move(*element));
    return true;
}

}  // namespace detail

// std::vector<E>: array of the stored elements.
template <class E>
struct ArrayBridge {
    using Value = std::vector<E>;
    using Serializable = Object;
    static std::optional<Object> serialize(const std::optional<Value>& value) {
        if (!value) return std::nullopt;
        return Object(detail::serializeElements(*value));
    }
    static std::optional<Value> deserialize(const std::optional<Object>& object) {
        Value result;
        if (!detail::deserializeElements<E>(object, [&](E&& e) { result.push_back(std::move(e)); }))
            return std::nullopt;
        return result;
    }
};

// std::set, std::unordered_set and the like: array of the stored elements.
template <class S>
struct SetBridge {
    using Value = S;
    using Serializable = Object;
    using Element = typename S::value_type;
    static std::optional<Object> serialize(const std::optional<S>& value) {
        if (!value) return std::nullopt;
        return Object(detail::serializeElements(*value));
    }
    static std::optional<S> deserialize(const std::optional<Object>& object) {
        S result;
        if (!detail::deserializeElements<Element>(object,
                                                  [&](Element&& e) { result.insert(std::move(e)); }))
            return std::nullopt;
        return result;
    }
};

// Custom set-algebra types (isSetAlgebraSerializable): array of the stored elements.
template <class S>
struct SetAlgebraBridge : SetBridge<S> {};

// Custom collections (isCollectionSerializable): array of the stored elements.
template <class C>
struct CollectionBridge {
    using Value = C;
    using Serializable = Object;
    using Element = typename C::value_type;
    static std::optional<Object> serialize(const std::optional<C>& value) {
        if (!value) return std::nullopt;
        return Object(detail::serializeElements(*value));
    }
    static std::optional<C> deserialize(const std::optional<Object>& object) {
        std::vector<Element> elements;
        if (!detail::deserializeElements<Element>(
                object, [&](Element&& e) { elements.push_back(std::move(e)); }))
            return std::nullopt;
        return C(std::move(elements));
    }
};

// std::map<K, V>: a string-keyed dictionary, keys by their text, values stored.
template <class M>
struct DictionaryBridge {
    using Value = M;
    using Serializable = Object;
    using Key = typename M::key_type;
    using Mapped = typename M::mapped_type;
    static std::optional<Object> serialize(const std::optional<M>& value) {
        if (!value) return std::nullopt;
        platform::Dictionary dictionary;
        for (const auto& [key, mapped] : *value)
            if (auto object = toSerializable(mapped))
                dictionary.insert_or_assign(KeyText<Key>::text(key), std::move(*object));
        return Object(std::move(dictionary));
    }
    static std::optional<M> deserialize(const std::optional<Object>& object) {
        const platform::Dictionary* dictionary = object ? object->get<platform::Dictionary>() : nullptr;
        if (!dictionary) return std::nullopt;
        M result;
        for (const auto& [text, item] : *dictionary) {
            auto key = KeyText<Key>::fromText(text);
            if (!key) continue;
            if (auto mapped = toValue<Mapped>(item)) result.insert_or_assign(std::move(*key), std::move(*mapped));
        }
        return result;
    }
};

// std::optional<T>: whatever T stores; an empty optional stores nothing.
template <class T>
struct OptionalBridge {
    using Value = std::optional<T>;
    using Serializable = Object;
    static std::optional<Object> serialize(const std::optional<Value>& value) {
        if (!value || !*value) return std::nullopt;
        return toSerializable(**value);
    }
    static std::optional<Value> deserialize(const std::optional<Object>& object) {
        if (!object) return std::nullopt;
        auto wrapped = toValue<T>(*object);
        if (!wrapped) return std::nullopt;
        return Value(std::move(*wrapped));
    }
};

// AnySerializable: its held object, passed through.
struct AnyBridge {
    using Value = AnySerializable;
    using Serializable = Object;
    static std::optional<Object> serialize(const std::optional<AnySerializable>& value);
    static std::optional<AnySerializable> deserialize(const std::optional<Object>& object);
};

}  // namespace vorrel::Prefs
