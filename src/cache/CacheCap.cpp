#include "cache/CacheCap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace vorrel {

namespace fs = std::filesystem;

namespace {

struct Entry {
    timespec lastUse;
    std::string name;
    std::uint64_t bytes;
};

bool earlier(const Entry& a, const Entry& b) {
    return std::tie(a.lastUse.tv_sec, a.lastUse.tv_nsec, a.name) <
           std::tie(b.lastUse.tv_sec, b.lastUse.tv_nsec, b.name);
}

void setLastUse(const fs::path& file, timespec when) {
    const timespec times[2] = {when, {0, UTIME_OMIT}};
    utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace

std::uint64_t CacheCap::capFor(const fs::path& folder) {
    struct statvfs system {};
    if (statvfs(folder.c_str(), &system) != 0 || system.f_blocks == 0) return kLargestCap;
    const std::uint64_t size = static_cast<std::uint64_t>(system.f_blocks) * system.f_frsize;
    return std::min(kLargestCap, size / 10);
}

void CacheCap::recordUse(const fs::path& file) { setLastUse(file, {0, UTIME_NOW}); }

void CacheCap::makeRoom(const fs::path& folder, std::uint64_t incoming) {
    const std::uint64_t cap = capFor(folder);
    if (incoming > cap) return;
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        struct stat status {};
        if (name.starts_with("inprogress-") || lstat(it->path().c_str(), &status) != 0 ||
            !S_ISREG(status.st_mode))
            continue;
        const std::uint64_t bytes =
            std::max(static_cast<std::uint64_t>(status.st_size),
                     static_cast<std::uint64_t>(status.st_blocks) * 512);
        entries.push_back({status.st_atim, name, bytes});
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
        setLastUse(file, {0, 0});
    } else {
        recordUse(file);
    }
}

}  // namespace vorrel
