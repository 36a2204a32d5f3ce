#include "cache/KeyIndex.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"

namespace vorrel::platform {

namespace {

constexpr const char* kHeader = "vorrel-key-index 1";

// Locks over files shared by our processes, and why each waits as it does:
//  - the settings suite (settings/Suite.cpp, with platform::FileLock) waits up to 2 s in the kernel's fair queue, then
//    reports the write as failed: a setting must not be lost silently;
//  - the log (logbook/FileDestination.cpp) tries for about 1 s, then writes its line unlocked,
//    still in one write: logging never stops;
//  - this index tries for at most kLockWait, then skips the record: it is a cache, and a
//    missed record costs one hash at the next look.
constexpr auto kLockWait = std::chrono::milliseconds(1000);

struct Line {
    FileIdentity identity;
    KeyIndex::Entry entry;
};

// The index file's bytes: nothing when it is missing, not a regular file (a FIFO planted there
// must not hang a preview) or larger than any index we write.
std::string readIndex(const std::filesystem::path& file) {
    constexpr std::size_t kLargest = 4 << 20;
    const FileDescriptor fd = openToRead(file, {.nonBlocking = true, .noFollow = true});
    if (!fd) return {};
    std::string bytes;
    const std::optional<FileStatus> status = statusOf(fd.get());
    if (status && status->isRegular() && status->size() <= kLargest &&
        (!readAll(fd.get(), bytes, kLargest) || bytes.size() > kLargest))
        bytes.clear();
    return bytes;
}

// The entries of the index file; empty when it is missing or cannot be parsed whole.
std::vector<Line> readLines(const std::filesystem::path& file) {
    std::istringstream in(readIndex(file));
    std::string text;
    if (!std::getline(in, text) || text != kHeader) return {};
    std::vector<Line> lines;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        Line line;
        auto& id = line.identity;
        if (!(fields >> id.device >> id.inode >> id.size >> id.modifiedNs >> id.changedNs >>
              line.entry.computedAtNs >> line.entry.key) ||
            line.entry.key.size() != 64 || !(fields >> std::ws).eof())
            return {};
        lines.push_back(std::move(line));
    }
    if (!in.eof()) return {};
    return lines;
}

}  // namespace

std::int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<KeyIndex::Entry> KeyIndex::find(const FileIdentity& identity) const {
    const auto lines = readLines(file_);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (line->identity == identity) return line->entry;
    return std::nullopt;
}

void KeyIndex::record(const FileIdentity& identity, const std::string& key,
                      std::int64_t computedAtNs) {
    // Closing the descriptor releases the lock.
    const FileDescriptor lock = openLockFile(file_.string() + ".lock");
    if (!lock) return;
    const std::optional<FileStatus> status = statusOf(lock.get());
    if (!status || !status->isRegular() || !lockWithin(lock.get(), kLockWait)) return;

    std::vector<Line> lines = readLines(file_);
    std::erase_if(lines, [&](const Line& line) {
        return line.identity.device == identity.device && line.identity.inode == identity.inode;
    });
    lines.push_back({identity, {key, computedAtNs}});
    const std::size_t skip = lines.size() > capacity_ ? lines.size() - capacity_ : 0;

    std::ostringstream text;
    text << kHeader << '\n';
    for (std::size_t i = skip; i < lines.size(); ++i) {
        const auto& [id, entry] = lines[i];
        text << id.device << ' ' << id.inode << ' ' << id.size << ' ' << id.modifiedNs << ' '
             << id.changedNs << ' ' << entry.computedAtNs << ' ' << entry.key << '\n';
    }
    std::string temporary = file_.string() + ".XXXXXX";
    FileDescriptor fd = createTemporaryFile(temporary);
    if (!fd) return;
    const bool written = writeAll(fd.get(), text.str());
    fd.reset();
    if (!written || std::rename(temporary.c_str(), file_.c_str()) != 0) std::remove(temporary.c_str());
}

void KeyIndex::remove() {
    std::remove(file_.c_str());
}

}  // namespace vorrel::platform
