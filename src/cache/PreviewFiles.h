#pragma once
// The preview files folder and the names of converted files in it.
//
// previewFilesDirectory(): the group container's "tmp" folder (see AppGroup.h). It is not
// created here. Throws ContainerUnavailableError when there is no group container.
//
// cachedFileURL(source, format, resolution): where the converted file of `source` lives:
//   1. the preview files folder (ContainerUnavailableError is thrown on);
//   2. the folder is created (mode 0700) with its parents, ignoring errors (it usually exists);
//   3. the SHA-256 of the source file's bytes as 64 lower-case hex digits (sourceKey());
//   4. the name: "<64 hex>.pdf" for PDF, "<64 hex>@<resolution>.png" for PNG.
// The name depends on the contents only, never on the source's path, name or dates.
//
// sourceKey(source): the SHA-256 of the file's bytes, from the key index when it knows the
// file, else streamed (memory does not grow with the file); a read error throws
// std::system_error. The key index ("keys.index" in the group container, see
// cache/KeyIndex.h) remembers the key of each file looked at by its identity (device,
// inode, size, modification and change times in ns), at most kKeyIndexEntries of them; an
// unchanged file reuses its key without being read. An entry is only trusted when the key was
// computed more than kTimestampGranularity after the file's last change: a file changed again
// within the same timestamp tick would otherwise keep its identity with other bytes. Such a
// racy key is not recorded; neither is one of a file that changed while it was read.
// removeKeyIndex(): forgets every key (the purge of the preview files does it).
//
// scratchDirectory(previewFolder): where converters get their private temporary folders: the
// group container's "scratch" folder, beside the preview files folder. Not inside it, so the
// folder the user is shown holds converted files only; not in /tmp, so the leftovers of a
// killed process are found again (see StaleFiles.h).
//
// Thread-safety: both may be called from any thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "cache/OutputFormat.h"

namespace vorrel {

// The group container could not be obtained: a "file does not exist" error
// (std::errc::no_such_file_or_directory) whose text names the app-group identifier.
class ContainerUnavailableError : public std::system_error {
public:
    explicit ContainerUnavailableError(const std::string& identifier);
};

std::filesystem::path previewFilesDirectory();

inline std::filesystem::path scratchDirectory(const std::filesystem::path& previewFolder) {
    return previewFolder.parent_path() / "scratch";
}

std::filesystem::path cachedFileURL(const std::filesystem::path& source, OutputFormat format,
                                    std::int64_t resolution);

std::string sourceKey(const std::filesystem::path& source);
void removeKeyIndex();

inline constexpr std::size_t kKeyIndexEntries = 2048;
inline constexpr std::int64_t kTimestampGranularityNs = 2'000'000'000;

// Test seam: while one lives, the key index takes the time to be `offset` later (entries of a
// file just written count as old enough to trust).
class KeyIndexClockOffset {
public:
    explicit KeyIndexClockOffset(std::chrono::nanoseconds offset);
    ~KeyIndexClockOffset();
    KeyIndexClockOffset(const KeyIndexClockOffset&) = delete;
    KeyIndexClockOffset& operator=(const KeyIndexClockOffset&) = delete;
};

// The name of step 4 for a digest already made ("<hex>.pdf", "<hex>@<resolution>.png").
std::string cachedFileName(const std::string& sha256Hex, OutputFormat format,
                           std::int64_t resolution);

}  // namespace vorrel
