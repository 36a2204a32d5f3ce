#pragma once
// The app-group identifier and the group container both deliverables share.
//
// appGroupIdentifier(): the main bundle's "TeamIdentifierPrefix" (which ends in a full
// stop) followed by "group.com.quarnix.Vorrel", e.g. "QX7R2M9K4T.group.com.quarnix.Vorrel".
// Computed on first use and then constant for the life of the process. A main bundle
// without a textual TeamIdentifierPrefix is malformed: the process stops with
// "Fatal error: ..." (there is no fallback identifier). Install the main bundle
// (Bundle::setMain) before the first use.
//
// groupContainerURL(): ${XDG_CACHE_HOME:-$HOME/.cache}/<appGroupIdentifier>, created on
// lookup. It is the user's alone: created with mode 0700 (missing parents too), and an existing
// container open to others is closed to 0700. Nothing when no absolute base folder exists or
// the folder cannot be created. Looked up afresh at every call, never cached.
//
// logFileURL(): the container's "Preview.log"; nothing without a container.
//
// Thread-safety: all three may be called from any thread; concurrent first calls of
// appGroupIdentifier() wait for one computation.

#include <filesystem>
#include <optional>
#include <string>

namespace vorrel {

const std::string& appGroupIdentifier();
std::optional<std::filesystem::path> groupContainerURL();
std::optional<std::filesystem::path> logFileURL();

}  // namespace vorrel
