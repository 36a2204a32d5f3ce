#pragma once
// Leftovers of converter runs whose process could not clean up (killed with SIGKILL, power
// loss): "inprogress-*" files in the preview files folder and "vorrel-converter-*" temporary
// folders in the scratch folder.
//
// removeStaleConverterFiles(previewFolder, scratchFolder, maximumAge) removes those created
// more than maximumAge ago (the callers pass twice the time limit: no converter of a live
// process runs that long, so no running conversion loses its files), also what a converter
// made unreadable in them (platform::removeTree). Everything else in the folders is left alone; the 14-day purge still covers it. Errors are ignored.
//
// removeStaleConverterFilesOnce(...) does the same at most once per process for each preview
// folder (a process that changes its XDG folders, as tests do, sweeps each).
//
// removeStaleEntries(folder, prefix, maximumAge) is the rule itself, for any folder and prefix
// (the thumbnailer's temporary folders beside its outputs).
//
// StaleAgeOverride: while one lives, the sweeps learn when an entry was created from its
// function instead of the file system, so tests age files without waiting for them to grow old.
//
// Thread-safety: callable from any thread.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/Value.h"

namespace vorrel {

void removeStaleEntries(const std::filesystem::path& folder, std::string_view prefix,
                        std::chrono::milliseconds maximumAge);
void removeStaleConverterFiles(const std::filesystem::path& previewFolder,
                               const std::filesystem::path& scratchFolder,
                               std::chrono::milliseconds maximumAge);
void removeStaleConverterFilesOnce(const std::filesystem::path& previewFolder,
                                   const std::filesystem::path& scratchFolder,
                                   std::chrono::milliseconds maximumAge);

class StaleAgeOverride {
public:
    using CreationDate = std::function<std::optional<platform::Date>(const std::filesystem::path&)>;
    explicit StaleAgeOverride(CreationDate creationDate);
    ~StaleAgeOverride();
    StaleAgeOverride(const StaleAgeOverride&) = delete;
    StaleAgeOverride& operator=(const StaleAgeOverride&) = delete;
};

}  // namespace vorrel
