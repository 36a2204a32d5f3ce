#include "conversion/ConverterRun.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <optional>
#include <thread>

#include "logbook/Logbook.h"
#include "platform/ChildProcess.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/FileTree.h"
#include "platform/Paths.h"
#include "platform/PrintableText.h"
#include "platform/Sha256.h"
#include "platform/TemporaryFolder.h"
#include "conversion/ConversionError.h"
#include "conversion/ConverterPolicy.h"
#include "conversion/StagedInput.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

// How often the written bytes are added up while the converter runs.
constexpr auto kWriteCheckInterval = 50ms;

std::stop_source& everyRun() {
    static std::stop_source source;
    return source;
}

// Holds one of the conversion slots for its lifetime.
class SlotLease {
public:
    explicit SlotLease(bool leaveOneFree) {
        auto& slots = ConverterRun::conversionSlots();
        if (!leaveOneFree) {
            slots.acquire();
            return;
        }
        if (!slots.try_acquire()) throw ConverterRun::NoFreeSlot();
        if (!slots.try_acquire()) {
            slots.release();
            throw ConverterRun::NoFreeSlot();
        }
        slots.release();  // the second one only proved that one stays free
    }
    ~SlotLease() { ConverterRun::conversionSlots().release(); }
    SlotLease(const SlotLease&) = delete;
    SlotLease& operator=(const SlotLease&) = delete;
};

// The output file, created empty before the launch so that the converter can be allowed to
// write that one file and nothing beside it; removed unless kept.
class OutputFile {
public:
    explicit OutputFile(const fs::path& path) : path_(path) {
        if (!platform::createNewFile(path, 0600))
            throw std::system_error(errno, std::generic_category(),
                                    "cannot create " + platform::escapeControlCharacters(path.string()));
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

// Logs the converter's last messages when the run fails.
class MessagesOnFailure {
public:
    explicit MessagesOnFailure(const platform::ChildProcess& converter)
        : converter_(converter), exceptions_(std::uncaught_exceptions()) {}
    ~MessagesOnFailure() {
        if (std::uncaught_exceptions() == exceptions_ || converter_.capturedOutput().empty())
            return;
        Logbook::defaultInstance().debug(
            "Converter messages: " + platform::escapeControlCharacters(converter_.capturedOutput()),
            "run()");
    }
    MessagesOnFailure(const MessagesOnFailure&) = delete;
    MessagesOnFailure& operator=(const MessagesOnFailure&) = delete;

private:
    const platform::ChildProcess& converter_;
    int exceptions_;
};

bool stopRequested(const std::stop_token& stop) {
    return stop.stop_requested() || everyRun().stop_requested();
}

// What the converter has written so far, on disk: the output file, everything in its TMPDIR
// (also beneath folders it made unreadable, and blocks allocated past a file's end), and the
// files it holds open after removing them.
std::uint64_t bytesWritten(const fs::path& output, const fs::path& folder, pid_t converter) {
    return platform::bytesHeld(output) + platform::bytesHeld(folder) +
           platform::openDeletedBytes(converter);
}

// Room left on the file system of `folder` for an ordinary user; none when it cannot be read.
std::optional<std::uint64_t> roomIn(const fs::path& folder) {
    const std::optional<platform::DiskSpace> space = platform::diskSpace(folder);
    if (!space) return std::nullopt;
    return space->available;
}

// Reads a source on a thread of its own; a run that ends early stops it at its next piece.
class SourceReading {
public:
    using Reader = std::function<void(const platform::ByteObserver&)>;
    void start(Reader read, platform::ByteObserver observe) {
        thread_ = std::thread([this, read = std::move(read), observe = std::move(observe)] {
            try {
                read([&](std::span<const std::uint8_t> piece) {
                    if (abandoned_) throw Abandoned();
                    observe(piece);
                });
            } catch (const Abandoned&) {
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    }
    // Waits for the end of the reading; throws what it threw.
    void finish() {
        if (!thread_.joinable()) return;
        thread_.join();
        if (error_) std::rethrow_exception(error_);
    }
    ~SourceReading() {
        abandoned_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    struct Abandoned {};
    std::thread thread_;
    std::atomic<bool> abandoned_{false};
    std::exception_ptr error_;
};

}  // namespace

ConverterRun::NotEnoughSpace::NotEnoughSpace(const fs::path& source, std::uint64_t megabytes,
                                             const fs::path& folder)
    : std::system_error(std::make_error_code(std::errc::no_space_on_device)),
      sentence_("Not enough disk space to preview \u201c" +
                platform::escapeControlCharacters(source.filename().string()) +
                "\u201d: Vorrel needs about " + std::to_string(megabytes) + " MB in " +
                platform::escapeControlCharacters(folder.string()) + "."),
      name_(platform::escapeControlCharacters(source.filename().string())),
      megabytes_(megabytes),
      folder_(platform::escapeControlCharacters(folder.string())) {}

ConverterRun::Cancelled::Cancelled(const fs::path& source)
    : std::system_error(std::make_error_code(std::errc::operation_canceled),
                        "the conversion of " + platform::escapeControlCharacters(source.string()) +
                            " was stopped") {}

std::counting_semaphore<4>& ConverterRun::conversionSlots() {
    static std::counting_semaphore<4> slots(4);
    return slots;
}

void ConverterRun::stopAll() { everyRun().request_stop(); }

bool ConverterRun::stopping(const std::stop_token& stop) { return stopRequested(stop); }

std::string ConverterRun::run(const Options& options) {
    SlotLease slot(options.leaveOneSlotFree);
    if (stopRequested(options.stop)) throw Cancelled(options.source);

    // Room for the staged copy (none when the source is read in place), Ghostscript's files and
    // the output, asked for before anything is written; a run a full disk stops is reported the
    // same way (nothing of it is left).
    bool copy = options.copySource;
    std::uint64_t staging = 0;
    try {
        staging = StagedInput::bytesWritten(options.source, copy, options.settled);
    } catch (const std::system_error&) {
        // Unreadable: the run says so where it reads the source.
    }
    const auto needed = [&] { return staging + kSpaceMargin; };
    const fs::path spaceFolder = options.scratchFolder.parent_path();
    const auto roomBelow = [&](std::uint64_t bytes) {
        std::error_code ignored;
        fs::path existing = options.scratchFolder;
        while (!existing.empty() && !fs::exists(existing, ignored)) existing = existing.parent_path();
        const auto room = roomIn(existing.empty() ? spaceFolder : existing);
        return room && *room < bytes;
    };
    const auto notEnoughSpace = [&] {
        return NotEnoughSpace(options.source, (needed() + 999'999) / 1'000'000, spaceFolder);
    };
    if (roomBelow(needed())) throw notEnoughSpace();
    for (;;) {
        try {
            // A run that failed while the disk is (nearly) full failed for want of room,
            // whatever stopped it: the copy, the expansion or Ghostscript.
            return runWithRoom(options, copy, [&](const std::exception&) {
                if (roomBelow(kSpaceMargin / 16)) throw notEnoughSpace();
            });
        } catch (const SourceChanged&) {
            // Read in place while it changed: which bytes the converter saw is not known. A
            // copy is a snapshot, whatever the source does meanwhile.
            Logbook::defaultInstance().debug(
                "The source changed while it was read: converted again from a copy", "run()");
            copy = true;
            staging = StagedInput::bytesWritten(options.source, copy, options.settled);
            if (roomBelow(needed())) throw notEnoughSpace();
        } catch (const NotEnoughSpace&) {
            throw;
        } catch (const std::system_error& error) {
            if (error.code() == std::errc::no_space_on_device) throw notEnoughSpace();
            throw;
        }
    }
}

std::string ConverterRun::runWithRoom(const Options& options, bool copy,
                                      const std::function<void(const std::exception&)>& failing) {
    OutputFile output(options.output);
    // A fresh folder for the converter's TMPDIR and its copy of the input. Ghostscript lets a
    // document read, write and delete files in its TMPDIR even under -dSAFER; a private one
    // keeps documents away from other programs' temporary files. It lives in the group
    // container, where the next process finds it should this one be killed before removing it.
    if (auto error = platform::createPrivateFolders(options.scratchFolder))
        throw std::system_error(error, "cannot create " + options.scratchFolder.string());
    const platform::TemporaryFolder privateFolder(options.scratchFolder, "vorrel-converter-");
    const fs::path temporaryFolder = privateFolder.path() / "tmp";
    if (auto error = platform::createPrivateFolders(temporaryFolder))
        throw std::system_error(error, "cannot create " + temporaryFolder.string());

    // A failure is judged while what the run wrote is still there (a full disk).
    std::string digest;
    try {
        digest = convert(options, copy, privateFolder.path(), temporaryFolder);
    } catch (const Cancelled&) {
        throw;
    } catch (const SourceChanged&) {
        throw;
    } catch (const std::exception& error) {
        failing(error);
        throw;
    }
    if (options.place) options.place(digest);
    output.keep();
    return digest;
}

std::string ConverterRun::convert(const Options& options, bool copy, const fs::path& privateFolder,
                                  const fs::path& temporaryFolder) {
    // The converter reads exactly the bytes the caller is told of: a snapshot, or the source
    // itself, found unchanged once the converter and the hash are done with it.
    fs::path input = options.source;
    std::vector<std::string> arguments = options.arguments;
    std::optional<platform::Sha256> digest;
    if (options.digestInput) digest.emplace();
    const platform::ByteObserver observe = [&digest](std::span<const std::uint8_t> bytes) {
        if (digest) digest->update(bytes);
    };
    std::optional<StagedInput> staged;
    if (options.argumentsFor) {
        staged.emplace(options.source, privateFolder, copy, observe,
                       [&options] { return stopRequested(options.stop); }, options.settled);
        input = staged->path();
        if (stopRequested(options.stop)) throw Cancelled(options.source);
        arguments = options.argumentsFor(input);
    }

    platform::ChildProcess converter(options.converter, arguments);
    // Never the previewer's working folder: relative names stay in the converter's own.
    converter.setWorkingDirectory(temporaryFolder);
    converter.setEnvironment("PATH", "/usr/bin:/bin");
    converter.setEnvironment("LANG", "C.UTF-8");
    converter.setEnvironment("HOME", temporaryFolder.string());
    converter.setEnvironment("TMPDIR", temporaryFolder.string());
    for (const auto& [name, value] : options.environment) converter.setEnvironment(name, value);
    if (options.quiet) {
        converter.discardOutput();
    } else {
        converter.captureOutput(kMessagesKept);
    }
    if (options.background) converter.runInBackground();
    if (options.confined) {
        ConverterPolicy::logSkippedLayers();
        platform::Sandbox sandbox = ConverterPolicy::sandbox(
            options.converter, input, options.output, temporaryFolder,
            options.timeLimit + options.gracePeriod,
            {.landlock = options.landlock, .newProcesses = options.newProcesses});
        for (const auto& folder : options.writableFolders)
            sandbox.allow(folder, platform::Sandbox::Access::full);
        converter.confine(std::move(sandbox));
    }
    const MessagesOnFailure messages(converter);
    // The converter dies with the thread that launches it (PR_SET_PDEATHSIG follows the
    // thread): this one, which waits for it below, so it holds.
    converter.launch();
    // A source read in place is hashed while the converter reads it too: on a second
    // processor, and from the cache the two readings share.
    SourceReading reading;
    if (staged && staged->inPlace())
        reading.start([&staged, &observe](const platform::ByteObserver& piece) {
            staged->readSource(piece);
        }, observe);

    {
        // A stop asked for from now on (or already) kills the converter's group; the wait
        // below then ends at once.
        const auto kill = [&converter] { converter.killGroup(); };
        std::stop_callback stopThis(options.stop, kill);
        std::stop_callback stopEvery(everyRun().get_token(), kill);
        using Clock = platform::ChildProcess::Clock;
        const auto deadline = Clock::now() + options.timeLimit;
        bool tooLarge = false;
        while (!converter.waitUntil(std::min(deadline, Clock::now() + kWriteCheckInterval))) {
            if (bytesWritten(options.output, temporaryFolder, converter.processIdentifier()) >
                options.writeCap) {
                tooLarge = true;
                converter.terminate(0ms);
                break;
            }
            if (Clock::now() >= deadline) {
                converter.terminate(options.gracePeriod);
                if (!stopRequested(options.stop)) throw ConversionError::timedOut();
                break;
            }
        }
        if (tooLarge && !stopRequested(options.stop)) throw ConversionError::outputTooLarge();
    }
    if (stopRequested(options.stop)) throw Cancelled(options.source);
    if (converter.terminationStatus() != 0)
        throw ConversionError::converterFailed(converter.terminationStatus());
    std::error_code error;
    const auto size = fs::file_size(options.output, error);
    if (error || size == 0) throw ConversionError::outputMissing();
    reading.finish();
    // Unchanged since before the arguments were made, after the converter and the hash are done:
    // what both read are the same bytes.
    if (staged && !staged->unchanged()) throw SourceChanged();
    if (!digest) return {};
    std::string hex = digest->hexDigest();
    // In place, bytes other than those the caller's key was made of mean the source changed
    // at some moment since then, maybe while the converter read it.
    if (staged && staged->inPlace() && !options.expectedDigest.empty() &&
        hex != options.expectedDigest)
        throw SourceChanged();
    return hex;
}

}  // namespace vorrel
