#pragma once
// The preview files folder and the names of converted files in it.
//
// previewFilesDirectory(): the group container's "tmp" folder (see AppGroup.h). It is not
// created here. Throws ContainerUnavailableError when there is no group container.
//
// cachedFileURL(source, format, resolution): where the converted file of `source` lives, in
// the preview files folder (created with its parents, mode 0700, when missing; errors there
// are ignored): "<64 hex>.pdf" for PDF, "<64 hex>@<resolution>.png" for PNG, the hex digits
// being sourceKey(source). The name depends on the contents only, never on the source's path,
// name or dates. ContainerUnavailableError is thrown on.
//
// sourceKey(source): the SHA-256 of the file's bytes as 64 lower-case hex digits, streamed
// (memory does not grow with the file), or taken from the key index ("keys.index" in the group
// container, KeyIndex.h, at most kKeyIndexEntries files) for a file unchanged since. An entry
// is trusted only when its key was computed more than kTimestampGranularity after the file's
// last change; such a racy key, or one of a file that changed while it was read, is not
// recorded (DESIGN.md, "Keys"). A read error throws std::system_error.
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
#include <string_view>
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

// The lock file of the conversions into a preview folder (ConversionClaim.h): beside it, where
// neither the purge nor the cache's cap removes it while it may be held.
inline std::filesystem::path conversionLockFile(const std::filesystem::path& previewFolder) {
    return previewFolder.parent_path() / "conversions.lock";
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

// The name cachedFileURL() gives, for a digest already made ("<hex>.pdf",
// "<hex>@<resolution>.png").
std::string cachedFileName(const std::string& sha256Hex, OutputFormat format,
                           std::int64_t resolution);

}  // namespace vorrel
