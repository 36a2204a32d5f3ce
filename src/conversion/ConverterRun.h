#pragma once
// ConverterRun: one run of the converter program, under guard, into one output file
// (DESIGN.md: the layers of the guard and why the converter reads a staged copy).
//
// run(options) blocks its thread:
//  1. waits for one of the 4 process-wide conversion slots (no limit); a run with
//     `leaveOneSlotFree` never waits: it takes a slot only while another one stays free, else
//     fails with NoFreeSlot at once;
//  2. refuses to go on when its stop token or stopAll() asked to stop (Cancelled);
//  3. creates the output file, empty, mode 0600 (failing if anything is at its path), and a
//     private folder "vorrel-converter-XXXXXX" (0700) in scratchFolder, holding "tmp" (the
//     converter's TMPDIR);
//  3b. fails with NotEnoughSpace, before anything is written, when the file system of
//     scratchFolder has less room for an ordinary user than staging writes
//     (StagedInput::bytesWritten(): nothing for a source read in place, else its size) +
//     kSpaceMargin (Ghostscript's own files and the output);
//  4. with argumentsFor, stages the input (StagedInput.h): a source unchanged for a while is
//     read in place through a symbolic link named "source" in the private folder (expanded
//     from where it is when compressed); any other, or every one with `copySource`, is copied
//     there as "source" (platform::copyFileOnce) and read from the copy. The converter never
//     gets the user's path; it gets argumentsFor(<the file it reads>). Without argumentsFor it
//     gets `arguments` and reads `source` itself;
//  5. launches the converter in its TMPDIR, confined by ConverterPolicy unless `confined` is
//     false (a test's control run; `landlock` false leaves the file-system layer out), at low
//     processor and idle I/O priority when `background`;
//  6. keeps the last kMessagesKept bytes of its standard output and error (none reach ours) and
//     logs them at debug level when the run fails; `quiet` discards them instead;
//  7. waits up to timeLimit; past it SIGTERM to the group, gracePeriod, SIGKILL, timedOut;
//     meanwhile it adds up what the run holds on disk and kills the group with
//     outputTooLarge once that passes writeCap;
//  8. a stop request while the converter runs kills its group at once: Cancelled;
//  9. after the converter ended, however it ended, its process group is killed and waited for;
//     fails with converterFailed(status) on a non-zero status (128 + signal when a signal
//     ended it), with outputMissing when the output file is gone or empty;
// 10. for a source read in place, hashes it (with `digestInput`) on a thread of its own while
//     the converter runs, then checks it is still the file it was (StagedInput::unchanged())
//     and, with `expectedDigest`, that its bytes are those; if not, the run is repeated from
//     step 3 with a copy (logged at debug level), so that what the converter read is known;
// 11. with `place`, hands it the digest below (or "") while the private folder is still
//     there: the caller names its result before the clean-up, so whoever waits for that name
//     does not wait for the clean-up too; returns, with `digestInput`, the SHA-256 (64
//     lower-case hex digits) of the bytes the converter read; else "".
// The private folder is removed on every path (platform::removeTree), the output file on every
// failure (also one `place` throws); success leaves the converter's result in the output file,
// or where `place` moved it.
//
// A run that fails otherwise with ENOSPC, or while less than 1 MiB is left on that file system
// (a full disk stopped the copy, the expansion or Ghostscript), fails with NotEnoughSpace
// instead; either way nothing of it is left.
//
// Errors: ConversionError; DecompressionError; Cancelled; NoFreeSlot; NotEnoughSpace;
// std::system_error when the output file, the private folder, the staged copy or the child
// cannot be made (launch errors carry errno and the converter's path).
//
// Thread-safety: any number of threads may run at once; stopAll() may be called from any
// thread (a signal handler must not: it takes a lock).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <semaphore>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "conversion/ConversionError.h"
#include "conversion/StagedInput.h"
#include "platform/FileCopy.h"

namespace vorrel {

class ConverterRun {
public:
    static constexpr std::chrono::milliseconds kTimeLimit{
        std::chrono::seconds(ConversionError::kTimeLimitSeconds)};
    static constexpr std::chrono::milliseconds kGracePeriod{2'000};
    static constexpr std::size_t kMessagesKept = 64 * 1024;
    static constexpr std::uint64_t kWriteCap = 1ULL << 30;  // across every file of one run

    struct Options {
        std::filesystem::path converter;
        std::vector<std::string> arguments;
        std::filesystem::path source;         // the one file of the user's it may read
        std::filesystem::path output;         // created here; the one file it may write
        std::filesystem::path scratchFolder;  // holds the private folder
        std::chrono::milliseconds timeLimit = kTimeLimit;
        std::chrono::milliseconds gracePeriod = kGracePeriod;
        bool confined = true;
        // The converter's messages (standard output and error) to /dev/null.
        bool quiet = false;
        // Folders the converter may also write beneath (tests record what fakes do there).
        std::vector<std::filesystem::path> writableFolders;
        std::stop_token stop;
        // Stages the source (step 4) and names the staged file in the arguments.
        std::function<std::vector<std::string>(const std::filesystem::path& input)> argumentsFor;
        // Steps 4, 10 and 11: the source always copied; the digest of what was read; the
        // digest a source read in place must have.
        bool copySource = false;
        bool digestInput = false;
        std::string expectedDigest;
        // How long a source must have been left alone to be read in place (tests: zero).
        std::chrono::nanoseconds settled = StagedInput::kSettled;
        // Tests: a lower cap, the file-system layer left out, new processes allowed (doubles
        // that are shell scripts), variables the converter also gets.
        std::uint64_t writeCap = kWriteCap;
        bool landlock = true;
        bool newProcesses = false;
        std::vector<std::pair<std::string, std::string>> environment;
        // For a run that only hastens what another run makes (a document's first page): it
        // must never hold the slot that run waits for (step 1).
        bool leaveOneSlotFree = false;
        // The converter gets the processor and the disk only when nothing else wants them
        // (work done ahead of need).
        bool background = false;
        // Step 11: names the result (it may move the output file).
        std::function<void(const std::string& digest)> place;
    };

    // A run with leaveOneSlotFree found fewer than two slots free.
    class NoFreeSlot : public std::runtime_error {
    public:
        NoFreeSlot() : std::runtime_error("no conversion slot to spare") {}
    };

    // The disk is too full for the run: std::errc::no_space_on_device, with the text
    // "Not enough disk space to preview “NAME”: Vorrel needs about N MB in FOLDER." (NAME the
    // source's file name, N the megabytes of room asked for, rounded up, FOLDER the scratch
    // folder's parent).
    class NotEnoughSpace : public std::system_error {
    public:
        NotEnoughSpace(const std::filesystem::path& source, std::uint64_t megabytes,
                       const std::filesystem::path& folder);
        const std::string& name() const { return name_; }
        std::uint64_t megabytes() const { return megabytes_; }
        const std::string& folder() const { return folder_; }
        // The sentence alone (without the error code's text).
        const char* what() const noexcept override { return sentence_.c_str(); }

    private:
        std::string sentence_;
        std::string name_;
        std::uint64_t megabytes_;
        std::string folder_;
    };
    static constexpr std::uint64_t kSpaceMargin = 16ULL << 20;

    // The run was stopped, by its token or by stopAll(): std::errc::operation_canceled.
    class Cancelled : public std::system_error {
    public:
        explicit Cancelled(const std::filesystem::path& source);
    };

    static std::string run(const Options& options);

    // Stops every run of the process, for good: running converters are killed, later runs
    // are refused. For the exit of a program.
    static void stopAll();
    // Whether `stop` or stopAll() asked to stop.
    static bool stopping(const std::stop_token& stop);

    // The process-wide limit on running converters, created on first use.
    static std::counting_semaphore<4>& conversionSlots();

private:
    // Read in place, the source changed, or holds other bytes than expected (step 10).
    struct SourceChanged {};
    // Steps 3 to 11, with the slot held and the room checked; `failing` sees a failure of
    // steps 4 to 9 while the run's files are still there (it may throw NotEnoughSpace).
    static std::string runWithRoom(const Options& options, bool copy,
                                   const std::function<void(const std::exception&)>& failing);
    // Steps 4 to 11 in the run's private folder.
    static std::string convert(const Options& options, bool copy,
                               const std::filesystem::path& privateFolder,
                               const std::filesystem::path& temporaryFolder);
};

}  // namespace vorrel
