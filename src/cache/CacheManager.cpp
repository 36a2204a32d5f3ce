#include "cache/CacheManager.h"

#include <filesystem>
#include <mutex>

#include "platform/FileTimes.h"
#include "platform/FileTree.h"
#include "settings/Suite.h"
#include "cache/PreviewFiles.h"

namespace vorrel {

namespace {

std::mutex clockMutex;
std::function<platform::Date()>& clockFunction() {
    static std::function<platform::Date()> clock;
    return clock;
}

}  // namespace

void CacheManager::setClock(std::function<platform::Date()> clock) {
    std::lock_guard lock(clockMutex);
    clockFunction() = std::move(clock);
}

platform::Date CacheManager::now() {
    std::function<platform::Date()> clock;
    {
        std::lock_guard lock(clockMutex);
        clock = clockFunction();
    }
    return clock ? clock() : std::chrono::system_clock::now();
}

bool CacheManager::shouldClearCache() {
    try {
        const platform::Date current = now();
        const auto stored = platform::Suite::standard()->objectForKey(kLastClearedKey);
        const platform::Date* last = stored ? stored->get<platform::Date>() : nullptr;
        if (!last) return true;
        return current - *last >= kInterval;
    } catch (...) {
        // No usable standard suite: purging is harmless, so lean towards it.
        return true;
    }
}

void CacheManager::clearCacheIfNeeded() {
    namespace fs = std::filesystem;
    try {
        if (!shouldClearCache()) return;
        fs::path folder;
        try {
            folder = previewFilesDirectory();
        } catch (const std::exception&) {
            return;
        }
        platform::Suite::standard()->setObject(platform::Value(now()), kLastClearedKey);
        removeKeyIndex();  // it only ever grows a little, but goes with what it indexes

        const platform::Date cutOff = now() - kMaximumAge;
        std::error_code error;
        fs::directory_iterator entries(folder, error);
        if (error) return;
        for (; entries != fs::directory_iterator(); entries.increment(error)) {
            if (error) return;
            const fs::path path = entries->path();
            const auto created = platform::creationDate(path);
            if (!created) continue;
            if (*created < cutOff) {
                platform::removeTree(path);
            }
        }
    } catch (...) {
        // The purge is housekeeping: nothing it meets may reach the preview.
    }
}

}  // namespace vorrel
