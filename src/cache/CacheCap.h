#pragma once
// CacheCap: keeps the preview files folder under a cap by removing the least recently used
// converted files.
//
// capFor(folder): the smaller of 1 GiB (kLargestCap) and a tenth of the size of the file
// system holding `folder`; 1 GiB when that cannot be read.
//
// recordUse(file): marks a converted file as used now (its access time, set explicitly, so a
// file system mounted noatime or relatime still keeps it); called on every look at a cached
// file and when a new one is placed.
//
// makeRoom(folder, incoming): before a new converted file of `incoming` bytes takes its name:
//   1. lists the converted files in `folder` (regular files; "inprogress-*" files and anything
//      else are neither counted nor removed), each holding the larger of its size and its
//      allocated blocks;
//   2. a file larger than the cap (incoming > capFor(folder)) removes nothing: it is placed,
//      shown, and dropped first at the next makeRoom (placedLarge());
//   3. otherwise, while what is there plus `incoming` passes the cap, removes the file with
//      the oldest last use (ties: the name), until it fits or nothing is left.
// placed(file, bytes): after the file took its name: recordUse(), or for a file larger than
// the cap a last use at the epoch, so that the next makeRoom() removes it first.
// Errors are ignored: the cap is housekeeping, it never fails a preview.
//
// Thread-safety: callable from any thread and process; two processes making room at once may
// each remove a file the other would have kept (both stay under the cap).

#include <cstdint>
#include <filesystem>

namespace vorrel {

class CacheCap {
public:
    static constexpr std::uint64_t kLargestCap = 1ULL << 30;

    static std::uint64_t capFor(const std::filesystem::path& folder);
    static void recordUse(const std::filesystem::path& file);
    static void makeRoom(const std::filesystem::path& folder, std::uint64_t incoming);
    static void placed(const std::filesystem::path& file, std::uint64_t bytes);

    CacheCap() = delete;
};

}  // namespace vorrel
