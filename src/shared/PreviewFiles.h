#pragma once
// The preview files folder and the names of converted files in it.
//
// previewFilesDirectory(): the group container's "tmp" folder (see AppGroup.h). It is not
// created here. Throws ContainerUnavailableError when there is no group container.
//
// cachedFileURL(source, format, resolution): where the converted file of `source` lives:
//   1. the preview files folder (ContainerUnavailableError is thrown on);
//   2. the folder is created (mode 0700) with its parents, ignoring errors (it usually exists);
//   3. the SHA-256 of the source file's bytes, streamed (memory does not grow with the
//      file), as 64 lower-case hex digits; a read error throws std::system_error;
//   4. the name: "<64 hex>.pdf" for PDF, "<64 hex>@<resolution>.png" for PNG.
// The name depends on the contents only, never on the source's path, name or dates.
//
// scratchDirectory(previewFolder): where converters get their private temporary folders: the
// group container's "scratch" folder, beside the preview files folder. Not inside it, so the
// folder the user is shown holds converted files only; not in /tmp, so the leftovers of a
// killed process are found again (see StaleFiles.h).
//
// Thread-safety: both may be called from any thread.

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "shared/OutputFormat.h"

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

}  // namespace vorrel
