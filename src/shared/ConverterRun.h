#pragma once
// ConverterRun: one run of the converter program, under guard, into one output file.
//
// run(options) blocks its thread:
//  1. waits for one of the 4 process-wide conversion slots (no limit);
//  2. refuses to go on when its stop token or stopAll() asked to stop (Cancelled);
//  3. creates the output file, empty, mode 0600 (failing if anything is at its path), and a
//     private temporary folder "vorrel-converter-XXXXXX" (0700) in scratchFolder for TMPDIR;
//  4. stages the input (StagedInput.h: a compressed source is expanded into the temporary
//     folder, within its cap), asks `arguments` for the converter's arguments for that file;
//  5. launches the converter with them, in a process group of its own, dying with
//     the launching thread, with no descriptor but the standard streams, and confined by
//     ConverterPolicy (unless `confined` is false, a test's control run);
//  6. waits up to timeLimit; past it asks the group to terminate (SIGTERM), waits
//     gracePeriod, kills it (SIGKILL), reaps the converter and fails with timedOut;
//  7. a stop request while the converter runs kills its group at once: Cancelled;
//  8. fails with converterFailed(status) on a non-zero status (128 + signal when a signal
//     ended it), with outputMissing when the output file is gone or empty.
// The temporary folder is removed on every path, the output file on every failure; success
// leaves the converter's result in the output file.
//
// Errors: ConversionError; DecompressionError; Cancelled; std::system_error when the output file, the temporary
// folder or the child cannot be made (launch errors carry errno and the converter's path).
//
// Thread-safety: any number of threads may run at once; stopAll() may be called from any
// thread (a signal handler must not: it takes a lock).

#include <chrono>
#include <filesystem>
#include <functional>
#include <semaphore>
#include <stop_token>
#include <string>
#include <system_error>
#include <vector>

namespace vorrel {

class ConverterRun {
public:
    struct Options {
        std::filesystem::path converter;
        // The converter's arguments for reading `input`: the source, or its expanded copy.
        std::function<std::vector<std::string>(const std::filesystem::path& input)> arguments;
        std::filesystem::path source;         // the one file of the user's it may read
        std::filesystem::path output;         // created here; the one file it may write
        std::filesystem::path scratchFolder;  // holds the private temporary folder
        std::chrono::milliseconds timeLimit{60'000};
        std::chrono::milliseconds gracePeriod{2'000};
        bool confined = true;
        // The converter's messages (standard output and error) to /dev/null.
        bool quiet = false;
        // Folders the converter may also write beneath (tests record what fakes do there).
        std::vector<std::filesystem::path> writableFolders;
        std::stop_token stop;
    };

    // The run was stopped, by its token or by stopAll(): std::errc::operation_canceled.
    class Cancelled : public std::system_error {
    public:
        explicit Cancelled(const std::filesystem::path& source);
    };

    static void run(const Options& options);

    // Stops every run of the process, for good: running converters are killed, later runs
    // are refused. For the exit of a program.
    static void stopAll();

    // The process-wide limit on running converters, created on first use.
    static std::counting_semaphore<4>& conversionSlots();
};

}  // namespace vorrel
