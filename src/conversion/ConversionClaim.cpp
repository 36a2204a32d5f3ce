#include "conversion/ConversionClaim.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <thread>

#include "cache/PreviewFiles.h"
#include "platform/FileLock.h"

namespace vorrel {

namespace {

// The byte of a name: FNV-1a, the same in every process and version, below 2^62 so that any
// off_t holds it.
std::uint64_t byteOf(const std::string& name) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : name) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash >> 2;
}

}  // namespace

ConversionClaim::ConversionClaim(const std::filesystem::path& output, std::stop_token stop,
                                 bool background, const std::function<bool()>& ready)
    : lock_(std::make_unique<platform::ByteLock>(conversionLockFile(output.parent_path()),
                                                 byteOf(output.filename().string()))) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    while (!lock_->tryLock()) {
        if (lock_->error() != EAGAIN) return;  // no claims here: converted as without them
        if (background) throw ConverterRun::NoFreeSlot();
        if (ConverterRun::stopping(stop)) throw ConverterRun::Cancelled(output);
        if (ready && ready()) return;
        waited_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        if (waited_ >= kLongestWait) return;
        std::this_thread::sleep_for(kPollInterval);
    }
    waited_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

ConversionClaim::~ConversionClaim() = default;

}  // namespace vorrel
