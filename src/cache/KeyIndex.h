#pragma once
// KeyIndex: a small map, kept in one file and shared by every process of the user, from a
// file's identity (device, inode, size, modification and change times in nanoseconds) to a
// short key computed from its contents, with the time the key was computed.
//
// What happens:
//  1. find(identity) reads the index file (no lock: it is only ever replaced whole, by a
//     rename) and returns the newest entry whose identity is exactly `identity`;
//  2. record(identity, key, computedAt) takes an exclusive lock on "<file>.lock" (flock, waited
//     for at most a second: past that the record is skipped, as the index is a cache), reads
//     the index, drops older entries of the same device and inode, appends the new one, keeps
//     the newest `capacity` entries, writes them to a temporary file beside it and renames it
//     over the index, so that two processes never lose each other's entries and a reader never
//     sees half a file;
//  3. an index that cannot be parsed (damaged, cut short, from another version) reads as empty
//     and is replaced by the next record();
//  4. remove() deletes the index.
// Which entries are trusted (timestamp granularity) is the caller's policy: find() reports
// computedAt for it to judge.
//
// Identities come from platform::identityOf (FileStatus.h). nowNanoseconds(): the real-time
// clock.
//
// Errors: none thrown; a failed record() leaves the index as it was (it is a cache).
// Thread-safety: any number of threads and processes may use one index file at once.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/FileStatus.h"

namespace vorrel::platform {

std::int64_t nowNanoseconds();

class KeyIndex {
public:
    struct Entry {
        std::string key;
        std::int64_t computedAtNs = 0;
    };

    KeyIndex(std::filesystem::path file, std::size_t capacity)
        : file_(std::move(file)), capacity_(capacity) {}

    std::optional<Entry> find(const FileIdentity& identity) const;
    void record(const FileIdentity& identity, const std::string& key, std::int64_t computedAtNs);
    void remove();

private:
    std::filesystem::path file_;
    std::size_t capacity_;
};

}  // namespace vorrel::platform
