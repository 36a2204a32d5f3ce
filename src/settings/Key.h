#pragma once
// Prefs::Key<Value>: a typed settings key — a name, a suite and a default value.
//
//   Prefs::Key<bool> flag("transparentBackground", suite, false);   // fixed default
//   Prefs::Key<std::optional<int>> count("count", suite);           // default: nothing
//   Prefs::Key<Uuid> id("id", suite, [] { return Uuid::random(); }); // default closure
//
// The fixed default is registered in the suite's registration domain at construction
// (converted with toSerializable), so the plain suite answers it before anything is
// written; an empty optional default, or one that cannot be stored, registers nothing.
// A default closure registers nothing and is called on every read that finds nothing
// usable, so the default may differ between reads.
//
// The cloud flag is accepted by every constructor and kept; this system starts no cloud
// synchroniser, so it has no effect.
//
// Keys are immutable after construction (copies may be assigned over each other) and may
// be shared between threads; a default closure must then be callable from any thread.

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "settings/AnyKey.h"
#include "settings/AnySerializable.h"
#include "settings/Serializable.h"

namespace vorrel::Prefs {

namespace detail {
template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
}  // namespace detail

// Cloud synchronisation of a key: kept, never acted on (see above).
enum class CloudSync : bool { off = false, on = true };

template <class V>
concept OptionalValue = detail::IsOptional<V>::value;

template <SerializableType V>
class Key;

// Reading and writing through a key ("subscript on a suite" and "on Prefs").
//
// get(suite, key): the object stored under key.name() in suite (the registration domain
//   included); nothing, or an object that does not convert to V, reads as
//   key.defaultValue(); an object that does not convert is reported once through the suite
//   (Suite::reportUnusableValue), never passed over in silence.
// set(suite, key, value): an empty optional (isNil) removes the stored object; otherwise
//   the value's toSerializable result is stored, and when that is nothing (a value that
//   cannot be stored) the stored object is removed. Answers why the suite did not store
//   the change (platform::SuiteWriteError), or nothing when it did.
// modify(suite, key, f): reads, lets f change the value in place, writes it back. Not
//   atomic: a write made by another thread in between is overwritten.
// The forms without a suite use the key's own suite.
// Thread-safety: as the suite's reads and writes; never throws for bad stored data.
template <SerializableType V>
V get(const platform::Suite& suite, const Key<V>& key);
template <SerializableType V>
std::optional<platform::SuiteWriteError> set(platform::Suite& suite, const Key<V>& key,
                                             const std::type_identity_t<V>& value);

template <SerializableType V>
class Key : public AnyKey {
public:
    using Value = V;

    // Fixed default, registered in the suite (see above).
    Key(std::string name, std::shared_ptr<platform::Suite> suite, V defaultValue, CloudSync cloudSync = CloudSync::off)
        : AnyKey(std::move(name), std::move(suite)),
          defaultValueGetter_([value = defaultValue] { return value; }),
          cloudSync_(cloudSync) {
        if (isNil(defaultValue)) return;
        if (auto object = toSerializable(defaultValue))
            this->suite()->registerDefaults(platform::Dictionary{{this->name(), std::move(*object)}});
    }

    // Optional value with no default: the default is the empty optional; registers nothing.
    Key(std::string name, std::shared_ptr<platform::Suite> suite, CloudSync cloudSync = CloudSync::off)
        requires OptionalValue<V>
        : AnyKey(std::move(name), std::move(suite)),
          defaultValueGetter_([] { return V{}; }),
          cloudSync_(cloudSync) {}

    // Default closure, called at every read that finds nothing usable; registers nothing.
    template <class F>
        requires std::invocable<F&> && std::convertible_to<std::invoke_result_t<F&>, V>
    Key(std::string name, std::shared_ptr<platform::Suite> suite, F defaultValueGetter,
        CloudSync cloudSync = CloudSync::off)
        : AnyKey(std::move(name), std::move(suite)),
          defaultValueGetter_(std::move(defaultValueGetter)),
          cloudSync_(cloudSync) {}

    const std::function<V()>& defaultValueGetter() const { return defaultValueGetter_; }
    V defaultValue() const { return defaultValueGetter_(); }
    CloudSync cloudSync() const { return cloudSync_; }

    // The value read through this key equals defaultValue().
    bool isDefaultValue() const
        requires std::equality_comparable<V>
    {
        return get(*suite(), *this) == defaultValue();
    }

private:
    std::function<V()> defaultValueGetter_;
    CloudSync cloudSync_ = CloudSync::off;
};

template <SerializableType V>
V get(const platform::Suite& suite, const Key<V>& key) {
    std::optional<Object> object = suite.objectForKey(key.name());
    if (!object) return key.defaultValue();
    if (std::optional<V> value = toValue<V>(*object)) return std::move(*value);
    suite.reportUnusableValue(key.name(), *object);
    return key.defaultValue();
}

template <SerializableType V>
std::optional<platform::SuiteWriteError> set(platform::Suite& suite, const Key<V>& key,
                                             const std::type_identity_t<V>& value) {
    if (isNil(value)) return suite.removeObject(key.name());
    return suite.setObject(toSerializable(value), key.name());
}

template <SerializableType V>
V get(const Key<V>& key) {
    return get(*key.suite(), key);
}

template <SerializableType V>
std::optional<platform::SuiteWriteError> set(const Key<V>& key, const std::type_identity_t<V>& value) {
    return set(*key.suite(), key, value);
}

template <SerializableType V, class F>
    requires std::invocable<F&, V&>
std::optional<platform::SuiteWriteError> modify(platform::Suite& suite, const Key<V>& key, F&& change) {
    V value = get(suite, key);
    change(value);
    return set(suite, key, value);
}

template <SerializableType V, class F>
    requires std::invocable<F&, V&>
std::optional<platform::SuiteWriteError> modify(const Key<V>& key, F&& change) {
    return modify(*key.suite(), key, std::forward<F>(change));
}

}  // namespace vorrel::Prefs
