#pragma once
// AnyKey: the untyped part of every settings key — the name the value is stored under
// and the suite it lives in (held strongly).
//
// Two keys are equal when their names are equal and they refer to the same suite object
// (the same Suite handle); std::hash combines the same two parts.
// Immutable after construction; thread-safe (the suite's operations are).

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "settings/Suite.h"

namespace vorrel::Prefs {

class AnyKey {
public:
    AnyKey(std::string name, std::shared_ptr<platform::Suite> suite);

    const std::string& name() const { return name_; }
    const std::shared_ptr<platform::Suite>& suite() const { return suite_; }

    // Removes the stored object under name() from suite(); the registered default, if any,
    // shows again. Answers why the suite did not store the removal, or nothing.
    std::optional<platform::SuiteWriteError> reset() const;

    friend bool operator==(const AnyKey& a, const AnyKey& b) {
        return a.name_ == b.name_ && a.suite_ == b.suite_;
    }

private:
    std::string name_;
    std::shared_ptr<platform::Suite> suite_;
};

// The system's name for the untyped key.
using _AnyKey = AnyKey;

}  // namespace vorrel::Prefs

template <>
struct std::hash<vorrel::Prefs::AnyKey> {
    std::size_t operator()(const vorrel::Prefs::AnyKey& key) const noexcept {
        std::size_t h = std::hash<std::string>{}(key.name());
        return h ^ (std::hash<const void*>{}(key.suite().get()) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    }
};
