#pragma once
// stageInput(source, folder, stopped): the file the converter reads for `source`.
//
// An uncompressed source is read where it is: its own path comes back. A gzip or bzip2
// compressed one (by its first bytes, Decompression.h) is expanded into `folder`/"input.ps"
// (created new, mode 0600), and that path comes back. The expansion is capped at
// decompressedSizeLimit(the source's size): past it DecompressionError::tooLarge; a damaged
// stream gives DecompressionError::damaged(), unless it gave some bytes before the fault: those
// are kept, as zcat keeps them, in `folder`/kCutInputName (IncompleteDocument.h), whose path
// comes back. `stopped` is asked between pieces: when it says
// true the expansion ends early (the caller then reports its stop). On failure the partial file
// is removed.
//
// Errors: DecompressionError; std::system_error when the source cannot be read or the file
// cannot be written. Thread-safety: a plain function; call it from any thread.

#include <filesystem>
#include <functional>

namespace vorrel {

inline constexpr const char* kStagedInputName = "input.ps";

std::filesystem::path stageInput(const std::filesystem::path& source,
                                 const std::filesystem::path& folder,
                                 const std::function<bool()>& stopped);

}  // namespace vorrel
