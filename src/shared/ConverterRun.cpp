#include "shared/ConverterRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/TemporaryFolder.h"
#include "shared/ConversionError.h"
#include "shared/ConverterPolicy.h"
#include "shared/StagedInput.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

std::stop_source& everyRun() {
    static std::stop_source source;
    return source;
}

// Holds one of the conversion slots for its lifetime.
class SlotLease {
public:
    SlotLease() { ConverterRun::conversionSlots().acquire(); }
    ~SlotLease() { ConverterRun::conversionSlots().release(); }
    SlotLease(const SlotLease&) = delete;
    SlotLease& operator=(const SlotLease&) = delete;
};

// The output file, created empty before the launch so that the converter can be allowed to
// write that one file and nothing beside it; removed unless kept.
class OutputFile {
public:
    explicit OutputFile(const fs::path& path) : path_(path) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            throw std::system_error(errno, std::generic_category(),
                                    "cannot create " + path.string());
        fchmod(fd, 0600);  // exactly, whatever the umask
        close(fd);
    }
    ~OutputFile() {
        if (keep_) return;
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    void keep() { keep_ = true; }

private:
    fs::path path_;
    bool keep_ = false;
};

bool stopRequested(const std::stop_token& stop) {
    return stop.stop_requested() || everyRun().stop_requested();
}

}  // namespace

ConverterRun::Cancelled::Cancelled(const fs::path& source)
    : std::system_error(std::make_error_code(std::errc::operation_canceled),
                        "the conversion of " + source.string() + " was stopped") {}

std::counting_semaphore<4>& ConverterRun::conversionSlots() {
    static std::counting_semaphore<4> slots(4);
    return slots;
}

void ConverterRun::stopAll() { everyRun().request_stop(); }

void ConverterRun::run(const Options& options) {
    SlotLease slot;
    if (stopRequested(options.stop)) throw Cancelled(options.source);

    OutputFile output(options.output);
    // A fresh folder for the converter's TMPDIR. Ghostscript lets a document read, write and
    // delete files in its TMPDIR even under -dSAFER; a private one keeps documents away from
    // other programs' temporary files. It lives in the group container, where the next process
    // finds it should this one be killed before removing it.
    if (auto error = platform::createPrivateFolders(options.scratchFolder))
        throw std::system_error(error, "cannot create " + options.scratchFolder.string());
    const platform::TemporaryFolder temporaryFolder(options.scratchFolder, "vorrel-converter-");
    const fs::path input = stageInput(options.source, temporaryFolder.path(),
                                      [&options] { return stopRequested(options.stop); });
    if (stopRequested(options.stop)) throw Cancelled(options.source);
    platform::ChildProcess converter(options.converter, options.arguments(input));
    converter.setEnvironment("TMPDIR", temporaryFolder.path().string());
    if (options.quiet) converter.discardOutput();
    if (options.confined) {
        ConverterPolicy::logSkippedLayers();
        platform::Sandbox sandbox = ConverterPolicy::sandbox(
            options.converter, options.source, options.output, temporaryFolder.path(),
            options.timeLimit + options.gracePeriod);
        for (const auto& folder : options.writableFolders)
            sandbox.allow(folder, platform::Sandbox::Access::full);
        converter.confine(std::move(sandbox));
    }
    // The converter dies with the thread that launches it (PR_SET_PDEATHSIG follows the
    // thread): this one, which waits for it below, so it holds.
    converter.launch();

    {
        // A stop asked for from now on (or already) kills the converter's group; the wait
        // below then ends at once.
        const auto kill = [&converter] { converter.signalGroup(SIGKILL); };
        std::stop_callback stopThis(options.stop, kill);
        std::stop_callback stopEvery(everyRun().get_token(), kill);
        if (!converter.waitUntil(platform::ChildProcess::Clock::now() + options.timeLimit)) {
            converter.terminate(options.gracePeriod);
            if (!stopRequested(options.stop)) throw ConversionError::timedOut();
        }
    }
    if (stopRequested(options.stop)) throw Cancelled(options.source);
    if (converter.terminationStatus() != 0)
        throw ConversionError::converterFailed(converter.terminationStatus());
    std::error_code error;
    const auto size = fs::file_size(options.output, error);
    if (error || size == 0) throw ConversionError::outputMissing();
    output.keep();
}

}  // namespace vorrel
