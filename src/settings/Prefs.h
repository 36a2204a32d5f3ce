#pragma once
// Prefs: typed settings over platform::Suite.
//
//   #include "settings/Prefs.h"
//   Prefs::Key<bool> key("name", suite, false);   // registers false as the default
//   bool v = Prefs::get(key);                      // stored value, or the default
//   Prefs::set(key, true);
//   Prefs::modify(key, [](bool& v) { v = !v; });
//   key.reset();                                   // removes the stored value
//
// Keys and their value types: Key.h, Serializable.h, Bridges.h, AnySerializable.h.
// Change observation: Observation.h (PrefsObservation, withoutPropagation) and
// Updates.h (Prefs::updates, a stream of a key's values). The Qt binding for widgets is in
// prefs/binding/ (Observable, Pref).

#include <string>
#include <string_view>
#include <vector>

#include "settings/AnyKey.h"
#include "settings/AnySerializable.h"
#include "settings/Key.h"
#include "settings/Serializable.h"

namespace vorrel::Prefs {

// Removes each key's stored object from the key's own suite.
void reset(const std::vector<AnyKey>& keys);
// Removes the named stored objects from the suite.
void reset(const std::vector<std::string>& names, platform::Suite& suite);
// Removes every key listed in the suite's dictionary representation (stored values; the
// registered defaults are not stored and stay).
void removeAll(platform::Suite& suite);

// False for a name that starts with '@', contains '.' or contains a character outside
// ASCII; true otherwise. Key names are used as observed key paths; nothing enforces this.
bool isValidKeyPath(std::string_view name);

}  // namespace vorrel::Prefs

#include "settings/Observation.h"
#include "settings/Updates.h"
