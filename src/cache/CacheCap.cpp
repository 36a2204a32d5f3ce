#include "cache/CacheCap.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "platform/FileStatus.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::int64_t lastUseNs;
    std::string name;
    std::uint64_t bytes;
};

bool earlier(const Entry& a, const Entry& b) {
    return std::tie(a.lastUseNs, a.name) < std::tie(b.lastUseNs, b.name);
}

}  // namespace

std::uint64_t CacheCap::capFor(const fs::path& folder) {
    const std::optional<platform::DiskSpace> space = platform::diskSpace(folder);
    if (!space || space->size == 0) return kLargestCap;
    return std::min(kLargestCap, space->size / 10);
}

void CacheCap::recordUse(const fs::path& file) { platform::setAccessTime(file, std::nullopt); }

void CacheCap::makeRoom(const fs::path& folder, std::uint64_t incoming) {
    const std::uint64_t cap = capFor(folder);
    if (incoming > cap) return;
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with("inprogress-")) continue;
        const auto status = platform::statusOf(it->path(), false);
        if (!status || !status->isRegular()) continue;
        const std::uint64_t bytes = std::max(status->size(), status->allocatedBytes);
        entries.push_back({status->accessedNs, name, bytes});
        total += bytes;
    }
    std::sort(entries.begin(), entries.end(), earlier);
    for (const Entry& entry : entries) {
        if (total + incoming <= cap) break;
        std::error_code ignored;
        if (fs::remove(folder / entry.name, ignored)) total -= entry.bytes;
    }
}

void CacheCap::placed(const fs::path& file, std::uint64_t bytes) {
    if (bytes > capFor(file.parent_path())) {
        platform::setAccessTime(file, 0);
    } else {
        recordUse(file);
    }
}

}  // namespace vorrel
