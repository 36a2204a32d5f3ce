#pragma once
// Change observation on one suite and key: PrefsObservation and the records it delivers.
//
// PrefsObservation registers with the suite's in-process observer registry. Every write
// made in this process through any Suite handle of the same suite name notifies it, on
// the writing thread, with the old and new values (registration domain included).
//
// What happens:
//   start(options)  1. takes the observation's lock;
//                   2. when not yet observing and the suite still exists: registers with
//                      the suite; with `initial`, delivers one change carrying the current
//                      value on the calling thread, still under the lock; marks observing;
//                   3. releases the lock.
//   a write         the handler runs on the writing thread: a suite that no longer exists
//                   invalidates the observation; a write to another suite name, after
//                   invalidate(), or on a thread inside withoutPropagation is ignored;
//                   otherwise the callback receives a SuiteKeyPair and a BaseChange.
//                   With `prior` (and not `initial`), each change is preceded by one with
//                   isPrior true carrying only the old value. The store tells observers
//                   after a write, so the prior change is delivered after the write too,
//                   immediately before the change itself.
//   invalidate()    under the lock: unregisters (when the suite still exists), clears the
//                   suite, stops observing. It cannot be started again.
//   suite gone      the suite's registrations go with its last handle; the observation
//                   then ends as if invalidated (isObserving() answers false).
//   destruction     invalidates under the lock.
//
// Thread-safety: start(), invalidate() and destruction may be called from any thread and
// are serialised by the lock. The callback runs on writing threads, possibly several at
// once, and may still run once more on a thread that was already delivering when
// invalidate() returned; it must be thread-safe and keep what it uses alive by itself.
// The callback must not start or invalidate its own observation during an `initial`
// delivery (the lock is held then).

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "settings/Suite.h"
#include "settings/Serializable.h"

namespace vorrel::Prefs {

enum class ObservationOption { initial, prior };

// A set of ObservationOption.
class ObservationOptions {
public:
    ObservationOptions() = default;
    ObservationOptions(std::initializer_list<ObservationOption> options) {
        for (auto option : options) bits_ |= bit(option);
    }
    bool contains(ObservationOption option) const { return (bits_ & bit(option)) != 0; }
    bool empty() const { return bits_ == 0; }
    friend bool operator==(ObservationOptions, ObservationOptions) = default;

private:
    static unsigned bit(ObservationOption option) { return 1u << static_cast<unsigned>(option); }
    unsigned bits_ = 0;
};

// The kind of a change; a suite only ever reports `setting`.
enum class ChangeKind : unsigned { setting = 1, insertion = 2, removal = 3, replacement = 4 };

// The untyped change: old and new stored objects (nothing when absent).
struct BaseChange {
    ChangeKind kind = ChangeKind::setting;
    std::optional<std::vector<std::size_t>> indexes;  // never set by a suite
    bool isPrior = false;
    std::optional<Object> newValue;
    std::optional<Object> oldValue;

    friend bool operator==(const BaseChange&, const BaseChange&) = default;
};

// The typed change: each object converted with V's toValue; nothing becomes the default.
template <SerializableType V>
struct KeyChange {
    ChangeKind kind = ChangeKind::setting;
    std::optional<std::vector<std::size_t>> indexes;
    bool isPrior = false;
    V newValue;
    V oldValue;

    KeyChange(const BaseChange& change, const V& defaultValue)
        : kind(change.kind),
          indexes(change.indexes),
          isPrior(change.isPrior),
          newValue(convert(change.newValue, defaultValue)),
          oldValue(convert(change.oldValue, defaultValue)) {}

    friend bool operator==(const KeyChange&, const KeyChange&)
        requires std::equality_comparable<V>
    = default;

private:
    static V convert(const std::optional<Object>& object, const V& defaultValue) {
        if (!object) return defaultValue;
        if (auto value = toValue<V>(*object)) return std::move(*value);
        return defaultValue;
    }
};

// Which suite and key a change is about. The suite is held weakly; equality and hash use
// the suite object's identity (kept even after the suite is gone) and the key.
class SuiteKeyPair {
public:
    SuiteKeyPair(const std::shared_ptr<platform::Suite>& suite, std::string key)
        : suite_(suite), identity_(suite.get()), key_(std::move(key)) {}

    std::shared_ptr<platform::Suite> suite() const { return suite_.lock(); }
    const std::string& key() const { return key_; }
    const void* suiteIdentity() const { return identity_; }

    friend bool operator==(const SuiteKeyPair& a, const SuiteKeyPair& b) {
        return a.identity_ == b.identity_ && a.key_ == b.key_;
    }

private:
    std::weak_ptr<platform::Suite> suite_;
    const void* identity_;
    std::string key_;
};

class PrefsObservation {
public:
    using Callback = std::function<void(const SuiteKeyPair&, const BaseChange&)>;

    // Does not start observing; call start(). Holds the suite weakly.
    PrefsObservation(const std::shared_ptr<platform::Suite>& suite, std::string name, Callback callback);
    ~PrefsObservation();
    PrefsObservation(const PrefsObservation&) = delete;
    PrefsObservation& operator=(const PrefsObservation&) = delete;

    void start(ObservationOptions options = {});
    void invalidate();

    bool isObserving() const;
    const std::string& name() const;

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

// The current thread's propagation flag: while it is true, observation callbacks that
// run on this thread ignore the changes they are told of.
bool isPropagationSuppressed();

// Runs body with this thread's propagation flag set, then clears it (also when body
// throws). Writes made inside body are stored as usual; observers notified on this thread
// (the writers' own notifications) see nothing of them.
template <class F>
decltype(auto) withoutPropagation(F&& body);

namespace detail {
void setPropagationSuppressed(bool suppressed);
struct PropagationGuard {
    PropagationGuard() { setPropagationSuppressed(true); }
    ~PropagationGuard() { setPropagationSuppressed(false); }
    PropagationGuard(const PropagationGuard&) = delete;
    PropagationGuard& operator=(const PropagationGuard&) = delete;
};
}  // namespace detail

template <class F>
decltype(auto) withoutPropagation(F&& body) {
    detail::PropagationGuard guard;
    return std::forward<F>(body)();
}

}  // namespace vorrel::Prefs

template <>
struct std::hash<vorrel::Prefs::SuiteKeyPair> {
    std::size_t operator()(const vorrel::Prefs::SuiteKeyPair& pair) const noexcept {
        std::size_t h = std::hash<std::string>{}(pair.key());
        return h ^ (std::hash<const void*>{}(pair.suiteIdentity()) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    }
};
