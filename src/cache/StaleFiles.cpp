#include "cache/StaleFiles.h"

#include <mutex>
#include <set>
#include <string_view>

#include "platform/FileTimes.h"
#include "platform/FileTree.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

std::mutex overrideMutex;
StaleAgeOverride::CreationDate creationOverride;

std::optional<platform::Date> creationDate(const fs::path& path) {
    {
        std::lock_guard lock(overrideMutex);
        if (creationOverride) return creationOverride(path);
    }
    return platform::creationDate(path);
}

void removeOlder(const fs::path& folder, std::string_view prefix, platform::Date cutOff) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::path path = entries->path();
        if (!path.filename().string().starts_with(prefix)) continue;
        const auto created = creationDate(path);
        if (!created || *created >= cutOff) continue;
        platform::removeTree(path);  // also folders a converter made unreadable
    }
}

}  // namespace

void removeStaleEntries(const fs::path& folder, std::string_view prefix,
                        std::chrono::milliseconds maximumAge) {
    removeOlder(folder, prefix, std::chrono::system_clock::now() - maximumAge);
}

void removeStaleConverterFiles(const fs::path& previewFolder, const fs::path& scratchFolder,
                               std::chrono::milliseconds maximumAge) {
    const platform::Date cutOff = std::chrono::system_clock::now() - maximumAge;
    removeOlder(previewFolder, "inprogress-", cutOff);
    removeOlder(scratchFolder, "vorrel-converter-", cutOff);
}

void removeStaleConverterFilesOnce(const fs::path& previewFolder, const fs::path& scratchFolder,
                                   std::chrono::milliseconds maximumAge) {
    static std::mutex mutex;
    static std::set<fs::path> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(previewFolder).second) return;
    }
    removeStaleConverterFiles(previewFolder, scratchFolder, maximumAge);
}

StaleAgeOverride::StaleAgeOverride(CreationDate creationDate) {
    std::lock_guard lock(overrideMutex);
    creationOverride = std::move(creationDate);
}

StaleAgeOverride::~StaleAgeOverride() {
    std::lock_guard lock(overrideMutex);
    creationOverride = nullptr;
}

}  // namespace vorrel
