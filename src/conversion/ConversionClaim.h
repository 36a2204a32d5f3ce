#pragma once
// ConversionClaim: one conversion of each converted file at a time, across every process of
// ours (preview windows, the head start of vorrel-quicklook) and every thread of one. A run
// claims the name of the file it makes before it converts; a second run for the same name
// waits for the claim to end and then finds the file in the cache, instead of converting it
// again beside it.
//
// A claim is one byte of the cache folder's lock file (conversionLockFile(), PreviewFiles.h), at an
// offset that the converted file's name hashes to, held as a ByteLock (platform/FileLock.h): the
// kernel ends it with its holder, so a killed run never leaves a claim behind. Two names may share
// a byte; that costs a wait, never a wrong file.
//
// ConversionClaim(output, stop, background):
//  - claimed at once: waited() is zero;
//  - held by another run: a background run gives up at once (ConverterRun::NoFreeSlot: the
//    content is being made already); any other waits, trying every kPollInterval, until the
//    claim is free (waited() says how long), until `ready` says the file is there (the holder
//    names it before it cleans up; the wait then ends without a claim), a stop request or
//    ConverterRun::stopAll() (ConverterRun::Cancelled), or kLongestWait, past which it goes on
//    without a claim: a holder stuck beyond its own time limit must not stop us;
//  - a lock file that cannot be used (a link or FIFO planted there, a full disk, a kernel
//    without open-file locks): no claim and no wait, never a failure; at worst the content is
//    converted twice, as without claims.
// The claim ends with the object.
//
// Thread-safety: a claim is used by one thread; any number of threads may claim at once.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stop_token>

#include "conversion/ConverterRun.h"

namespace vorrel {

namespace platform {
class ByteLock;
}

class ConversionClaim {
public:
    static constexpr std::chrono::milliseconds kPollInterval{1};
    static constexpr std::chrono::milliseconds kLongestWait =
        ConverterRun::kTimeLimit + 2 * ConverterRun::kGracePeriod;

    ConversionClaim(const std::filesystem::path& output, std::stop_token stop, bool background,
                    const std::function<bool()>& ready = {});
    ~ConversionClaim();
    ConversionClaim(const ConversionClaim&) = delete;
    ConversionClaim& operator=(const ConversionClaim&) = delete;

    // How long another run's claim was waited for (zero when there was none).
    std::chrono::milliseconds waited() const { return waited_; }

private:
    std::unique_ptr<platform::ByteLock> lock_;
    std::chrono::milliseconds waited_{0};
};

}  // namespace vorrel
