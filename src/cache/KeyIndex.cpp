#include "cache/KeyIndex.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

namespace vorrel::platform {

namespace {

constexpr const char* kHeader = "vorrel-key-index 1";

// Locks over files shared by our processes, and why each waits as it does:
//  - the settings suite (settings/Suite.cpp) waits up to 2 s in the kernel's fair queue, then
//    reports the write as failed: a setting must not be lost silently;
//  - the log (logbook/FileDestination.cpp) tries for about 1 s, then writes its line unlocked,
//    still in one write: logging never stops;
//  - this index tries for at most kLockWait, then skips the record: it is a cache, and a
//    missed record costs one hash at the next look.
constexpr auto kLockWait = std::chrono::milliseconds(1000);

// An exclusive flock on `fd` within `limit`, polling with a growing pause.
bool lockWithin(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::microseconds(100);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    return true;
}

struct Line {
    FileIdentity identity;
    KeyIndex::Entry entry;
};

std::int64_t nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

FileIdentity identityFrom(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::uint64_t>(status.st_size), nanoseconds(status.st_mtim),
            nanoseconds(status.st_ctim)};
}

// The index file's bytes: nothing when it is missing, not a regular file (a FIFO planted there
// must not hang a preview) or larger than any index we write.
std::string readIndex(const std::filesystem::path& file) {
    constexpr std::size_t kLargest = 4 << 20;
    const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    std::string bytes;
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::size_t>(status.st_size) <= kLargest) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    close(fd);
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

std::optional<FileIdentity> identityOf(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    return identityFrom(status);
}

std::optional<FileIdentity> identityOf(const std::filesystem::path& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    return identityFrom(status);
}

std::int64_t nowNanoseconds() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

std::optional<KeyIndex::Entry> KeyIndex::find(const FileIdentity& identity) const {
    const auto lines = readLines(file_);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (line->identity == identity) return line->entry;
    return std::nullopt;
}

void KeyIndex::record(const FileIdentity& identity, const std::string& key,
                      std::int64_t computedAtNs) {
    const std::string lockPath = file_.string() + ".lock";
    const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          0600);
    if (lock < 0) return;
    struct Unlock {
        int fd;
        ~Unlock() { close(fd); }  // closing releases the lock
    } unlock{lock};
    struct stat status {};
    if (fstat(lock, &status) != 0 || !S_ISREG(status.st_mode) || !lockWithin(lock, kLockWait))
        return;

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
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return;
    const std::string bytes = text.str();
    const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    if (!written || rename(temporary.c_str(), file_.c_str()) != 0) unlink(temporary.c_str());
}

void KeyIndex::remove() {
    unlink(file_.c_str());
}

}  // namespace vorrel::platform
