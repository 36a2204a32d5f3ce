#pragma once
// StagedInput: the file a converter run reads for a source, and the source's bytes as read.
//
// StagedInput(source, folder, copy, observe, stopped, settled) opens `source`
// (platform::SourceFile) and stages it in the run's private `folder`:
//  1. in place, unless `copy` is set, when the source is a regular file that has not changed
//     for `settled` (kSettled, the key index's timestamp granularity: any change since shows
//     in its identity). A copy would double the room a large file takes on disk:
//      - uncompressed, `folder`/"source" is made a symbolic link to it: the converter reads the
//        user's file without ever seeing its name, in which Ghostscript would read wildcards,
//        options and control characters;
//      - gzip or bzip2 compressed (by its first bytes, Decompression.h), it is expanded from
//        the open file into `folder`/"input.ps";
//     `observe` sees nothing yet: readSource() hands it the bytes;
//  2. otherwise copied into `folder`/"source" (platform::copyFileOnce: a reflink where
//     offered), `observe` seeing each byte of the copy once, and that copy is what the
//     converter reads, or what is expanded.
// An expansion is created new (mode 0600) and capped at decompressedSizeLimit(the source's
// size): past it DecompressionError::tooLarge; a damaged stream gives
// DecompressionError::damaged(), unless it gave some bytes before the fault: those are kept,
// as zcat keeps them, in `folder`/kCutInputName (IncompleteDocument.h). `stopped` is asked
// between pieces: when it says true the expansion ends early (the caller then reports its
// stop). On failure the partial file is removed.
//
// path(): the file the converter reads. inPlace(): whether step 1 was taken.
// readSource(observe): in place, the source's bytes from its start to `observe`, through the
// descriptor opened first (never the path; the converter may be reading it meanwhile); nothing
// for a copy. unchanged(): true for a copy; in place, whether the source is still the file it
// was when opened (SourceFile::unchanged()). Once the converter and readSource() are done, an
// unchanged source gave both the same bytes; otherwise the run must be repeated from a copy.
// bytesWritten(source, copy, settled): the most staging will write into the folder: nothing for an
// uncompressed source read in place, else its size (an expansion is judged by its cap alone).
//
// Errors: DecompressionError; std::system_error when the source cannot be read or a file
// cannot be written, or from readSource() when a read fails.
// Thread-safety: one thread at a time per object.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "cache/PreviewFiles.h"
#include "platform/FileCopy.h"
#include "platform/SourceFile.h"

namespace vorrel {

inline constexpr const char* kStagedInputName = "input.ps";

class StagedInput {
public:
    static constexpr std::chrono::nanoseconds kSettled{kTimestampGranularityNs};

    StagedInput(const std::filesystem::path& source, const std::filesystem::path& folder,
                bool copy, const platform::ByteObserver& observe,
                const std::function<bool()>& stopped, std::chrono::nanoseconds settled = kSettled);

    const std::filesystem::path& path() const { return path_; }
    bool inPlace() const { return inPlace_; }
    void readSource(const platform::ByteObserver& observe) const;
    bool unchanged() const;

    static std::uint64_t bytesWritten(const std::filesystem::path& source, bool copy,
                                      std::chrono::nanoseconds settled = kSettled);

private:
    platform::SourceFile source_;
    bool inPlace_ = false;
    std::filesystem::path path_;
};

}  // namespace vorrel
