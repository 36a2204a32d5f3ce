#pragma once
// CacheManager: keeps the preview files folder from growing without end.
//
// At most once every 14 days (1,209,600 s), after a successful preview, the files in the
// folder that were created more than 14 days before are deleted. The date of the last
// purge is kept under "CacheLastClearedDate" in the extension's standard suite
// (Suite::standard()).
//
// clearCacheIfNeeded(), what happens:
//   1. If shouldClearCache() is false, stop.
//   2. Get previewFilesDirectory(); without a group container, stop and record nothing.
//   3. Store the current date under "CacheLastClearedDate", before any file is looked at,
//      so a purge that fails later still counts as done; forget the key index
//      (removeKeyIndex(), PreviewFiles.h).
//   4. Cut-off: the current date, taken afresh, minus 14 days.
//   5. List the folder (one level, hidden entries too); if that fails, stop.
//   6. For each entry: read its creation date (platform/FileTimes.h); skip it when that
//      fails; remove it (folders with their contents) when the creation date is strictly
//      earlier than the cut-off, ignoring errors.
// shouldClearCache() is true when there is no record, the record is not a date, or at
// least 14 days have passed since it.
//
// Neither operation throws. The clock is a seam for tests (setClock); it is not a setting.
//
// Thread-safety: callable from any thread. Two overlapping purges are harmless (each
// removes only files older than 14 days).

#include <chrono>
#include <functional>

#include "platform/Value.h"

namespace vorrel {

class CacheManager {
public:
    static constexpr std::chrono::seconds kInterval{1'209'600};
    static constexpr std::chrono::seconds kMaximumAge{1'209'600};
    static constexpr const char* kLastClearedKey = "CacheLastClearedDate";

    static bool shouldClearCache();
    static void clearCacheIfNeeded();

    // The clock both operations read; an empty function restores the system clock.
    static void setClock(std::function<platform::Date()> clock);
    static platform::Date now();

    CacheManager() = delete;
};

}  // namespace vorrel
