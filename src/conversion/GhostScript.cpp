#include "conversion/GhostScript.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <locale>
#include <sstream>
#include <functional>
#include <string_view>
#include <mutex>
#include <optional>
#include <system_error>

#include "logbook/Logbook.h"
#include "platform/ModuleLocation.h"
#include "platform/FileCopy.h"
#include "platform/Sha256.h"
#include "platform/Uuid.h"
#include "cache/CacheCap.h"
#include "cache/ConvertedFile.h"
#include "conversion/ConverterArguments.h"
#include "conversion/ConverterRun.h"
#include "conversion/CropArguments.h"
#include "conversion/DocumentPage.h"
#include "conversion/DscHeader.h"
#include "conversion/IncompleteDocument.h"
#include "conversion/PaintedArea.h"
#include "conversion/PostScript.h"
#include "cache/PreviewFiles.h"
#include "cache/StaleFiles.h"
#include "conversion/ConversionClaim.h"

extern char** environ;

namespace vorrel {

namespace fs = std::filesystem;

namespace {

struct Settings {
    fs::path converter;
    std::chrono::milliseconds timeLimit = ConverterRun::kTimeLimit;
    std::chrono::milliseconds gracePeriod = ConverterRun::kGracePeriod;
    bool confined = true;
    bool landlock = true;
    bool checkOutput = true;
    bool passTestVariables = false;
    bool newProcesses = false;
    std::uint64_t writeCap = ConverterRun::kWriteCap;
    bool readInPlaceAtOnce = false;
    std::function<void()> beforeStaging;
    std::vector<fs::path> writableFolders;
};

// Fakes and the probe read their instructions from the environment, which the converter no
// longer inherits: under a test override these variables are passed on.
std::vector<std::pair<std::string, std::string>> testVariables() {
    std::vector<std::pair<std::string, std::string>> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with("VORREL_FAKE_") && !text.starts_with("VORREL_PROBE_")) continue;
        const auto equals = text.find('=');
        if (equals != std::string_view::npos)
            variables.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
    return variables;
}

std::mutex overrideMutex;
std::optional<Settings> overrideSettings;

Settings currentSettings() {
    std::lock_guard lock(overrideMutex);
    return overrideSettings.value_or(Settings{});
}

bool fileExists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

void removeIgnoringErrors(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// Moves `from` to `to`, failing with EEXIST instead of replacing a file already at `to`.
void moveWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (const std::error_code error = platform::moveWithoutReplacing(from, to))
        throw std::system_error(error, "cannot move " + from.string() + " to " + to.string());
}

}  // namespace

GhostScript::GhostScript(fs::path source, OutputFormat format, std::int64_t dotsPerInch)
    : url(std::move(source)),
      kind(readSourceKind(url)),
      outputFormat(kind.document ? OutputFormat::PDF : format),
      resolution(dotsPerInch) {
    try {
        outputFileURL = cachedFileURL(url, outputFormat, resolution);
    } catch (const std::exception& error) {
        Logbook::defaultInstance().debug(std::string(error.what()), "init(at:to:resolution:)");
        throw;
    }
}

std::counting_semaphore<4>& GhostScript::conversionSlots() {
    return ConverterRun::conversionSlots();
}

fs::path GhostScript::converterURL() const {
    if (auto settings = currentSettings(); !settings.converter.empty()) return settings.converter;
    static const int anchor = 0;  // any object of this module locates it
    const fs::path folder = platform::moduleFolder(&anchor);
    const fs::path prefix =
        folder.filename() == "bin" ? folder.parent_path() : folder.parent_path().parent_path();
    return prefix / "libexec" / "vorrel" / "converter";
}

std::vector<std::string> GhostScript::arguments(const fs::path& outputPath) const {
    return arguments(outputPath, url);
}

std::vector<std::string> GhostScript::arguments(const fs::path& outputPath,
                                                const fs::path& input) const {
    if (kind.document) return documentArguments(outputPath, input);
    // A drawing cut short is no drawing: only a document keeps the pages that were there.
    if (input.filename() == kCutInputName) throw DecompressionError::damaged();
    std::vector<std::string> list = plainArguments(outputPath, input);
    if (const auto box = readDscHeader(input).usableBox()) {
        auto [before, after] = cropArguments(*box);
        list.insert(list.end() - 1, before.begin(), before.end());
        list.insert(list.end(), after.begin(), after.end());
    }
    return list;
}

std::vector<std::string> GhostScript::plainArguments(const fs::path& outputPath) const {
    return plainArguments(outputPath, url);
}

std::vector<std::string> GhostScript::plainArguments(const fs::path& outputPath,
                                                     const fs::path& input) const {
    const std::string out = outputPathArgument(outputPath);
    const std::string in = fs::absolute(input).string();
    if (outputFormat == OutputFormat::PNG) {
        return {"-q",
                "-dSAFER",
                "-dBATCH",
                "-dNOPAUSE",
                "-sDEVICE=pngalpha",
                "-r" + std::to_string(resolution),
                "-dEPSCrop",
                "-o",
                out,
                in};
    }
    return {"-dSAFER",
            "-dBATCH",
            "-dNOPAUSE",
            "-dNOCACHE",
            "-sDEVICE=pdfwrite",
            "-dEPSCrop",
            "-dUseArtBox",
            "-dDetectDuplicateImages=true",
            "-dEmbedAllFonts=true",
            "-dSubsetFonts=false",
            "-dCompressFonts=true",
            "-dAutoRotatePages=/None",
            "-dPreserveOverprintSettings=true",
            "-dPDFSETTINGS=/prepress",
            "-dCompatibilityLevel=1.7",
            "-sOutputFile=" + out,
            in};
}

std::vector<std::string> GhostScript::documentArguments(const fs::path& outputPath,
                                                       const fs::path& input) {
    const DocumentPage page = documentPage(input);
    const std::vector<std::string> size = documentPageArguments(page);
    std::string setUp = pageTurnSetUp();
    if (page.shiftX != 0 || page.shiftY != 0) setUp.append(" ").append(documentPageSetUp(page));
    return {"-dSAFER",
            "-dBATCH",
            "-dNOPAUSE",
            "-dNOCACHE",
            "-sDEVICE=pdfwrite",
            size[0],
            size[1],
            "-dDetectDuplicateImages=true",
            "-dEmbedAllFonts=true",
            "-dCompressFonts=true",
            "-dAutoRotatePages=/None",
            "-dPreserveOverprintSettings=true",
            "-dCompatibilityLevel=1.7",
            "-sOutputFile=" + outputPathArgument(outputPath),
            "--permit-file-read=" + fs::absolute(input).string(),
            "-c",
            setUp + " " + IncompleteDocument::runSetUp(input) + " " + kShowUnshownPage};
}

fs::path GhostScript::run(std::stop_token stop) const {
    // Before the cache: older versions cached the blank page of an empty file.
    if (std::error_code error; fs::file_size(url, error) == 0 && !error) {
        const ConversionError empty = ConversionError::emptyFile();
        Logbook::defaultInstance().debug(empty.what(), "run()");
        throw empty;
    }
    const Settings settings = currentSettings();
    const auto cached = [&] {
        if (!fileExists(outputFileURL)) return false;
        if (!settings.checkOutput || isWholeConvertedFile(outputFileURL, outputFormat)) {
            CacheCap::recordUse(outputFileURL);  // the least recently used go first
            return true;
        }
        // Cut short (a crash before its data reached the disk): converted once more.
        removeIgnoringErrors(outputFileURL);
        return false;
    };
    if (cached()) return outputFileURL;

    // Another run making this file (the head start, another window) is waited for, and its
    // file taken as soon as it is named, also one that ended just before the claim; one that
    // failed leaves this run only what is left of the time limit, so a file that runs out of
    // time is not given a second minute.
    const ConversionClaim claim(outputFileURL, stop, background,
                                [this] { return fileExists(outputFileURL); });
    if (cached()) return outputFileURL;
    if (claim.waited() > std::chrono::milliseconds(0)) {
        std::string message = "Another run of this file ended without its result after ";
        message += std::to_string(claim.waited().count());
        message += " ms";
        Logbook::defaultInstance().debug(message, "run()");
    }
    return convert(
        std::move(stop),
        [this](const fs::path& out, const fs::path& input) { return arguments(out, input); },
        false, claim.waited());
}

std::optional<fs::path> GhostScript::convertBlankAgain(const fs::path& blank,
                                                       std::stop_token stop) const {
    if (kind.document) return std::nullopt;
    PaintedArea area;
    try {
        area = findPaintedArea(
            runOptions(fs::path(), scratchDirectory(outputFileURL.parent_path()), stop));
    } catch (const std::exception& error) {
        Logbook::defaultInstance().debug(std::string(error.what()), "run()");
        throw;
    }
    const auto describe = [](const BoundingBox& box) {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text << box.llx << ' ' << box.lly << ' ' << box.urx << ' ' << box.ury;
        return text.str();
    };
    if (!area.painted) {
        Logbook::defaultInstance().debug("Nothing painted at all", "run()");
        return std::nullopt;
    }
    const bool white = area.declared && area.within(*area.declared);
    const BoundingBox box = white ? *area.declared : *area.painted;
    Logbook::defaultInstance().debug(
        white ? "Only white painted within the bounding box " + describe(box) +
                    ": shown on a grey backdrop"
              : "The bounding box " + (area.declared ? describe(*area.declared) : "(none)") +
                    " misses what the file paints: cropped to the painted area " +
                    describe(box),
        "run()");
    const fs::path converted = convert(
        std::move(stop),
        [this, box, white](const fs::path& out, const fs::path& input) {
            std::vector<std::string> list = plainArguments(out, input);
            auto [before, after] = cropArguments(box, 1, white);
            list.insert(list.end() - 1, before.begin(), before.end());
            list.insert(list.end(), after.begin(), after.end());
            return list;
        },
        true);
    if (converted != blank) removeIgnoringErrors(blank);
    return converted;
}

fs::path GhostScript::convert(std::stop_token stop, const ArgumentsFor& argumentsFor,
                              bool replacing, std::chrono::milliseconds spent) const {
    const Settings settings = currentSettings();
    if (spent >= settings.timeLimit) {
        const ConversionError late = ConversionError::timedOut();
        Logbook::defaultInstance().debug(late.what(), "run()");
        throw late;
    }
    const fs::path folder = outputFileURL.parent_path();
    removeStaleConverterFilesOnce(folder, scratchDirectory(folder), 2 * settings.timeLimit);
    const fs::path inProgress =
        folder / ("inprogress-" + platform::newUuidString() + "." +
                  std::string(fileExtension(outputFormat)));
    try {
        if (settings.beforeStaging) settings.beforeStaging();
        ConverterRun::Options options =
            runOptions(inProgress, scratchDirectory(folder), std::move(stop));
        options.timeLimit -= spent;
        bool cut = false;
        options.argumentsFor = [&](const fs::path& input) {
            cut = input.filename() == kCutInputName;
            return argumentsFor(inProgress, input);
        };
        options.leaveOneSlotFree = background;
        options.background = background;
        options.digestInput = true;
        // The key this file's result is looked up by: read in place, the source must still
        // hold those bytes (ConverterRun.h, step 10).
        options.expectedDigest = outputFileURL.filename().string().substr(0, 64);
        // Named while the converter's private folder is still there: a run waiting for this
        // file takes it at once, without waiting for the clean-up (ConverterRun.h, step 11).
        fs::path converted;
        options.place = [&](const std::string& digest) {
            // Named for the bytes converted: if the file changed since the key was made, the
            // drawing goes under the key of what it shows, never under the old one.
            converted = folder / cachedFileName(digest, outputFormat, resolution);
            if (settings.checkOutput && !isWholeConvertedFile(inProgress, outputFormat))
                throw ConversionError::unreadableOutput();
            if (replacing) {
                // A whole file takes the place of the one there at once, for every reader.
                if (std::rename(inProgress.c_str(), converted.c_str()) != 0)
                    throw std::system_error(errno, std::generic_category(),
                                            "cannot move " + inProgress.string() + " to " +
                                                converted.string());
            } else if (fileExists(converted)) {
                removeIgnoringErrors(inProgress);
                CacheCap::recordUse(converted);
            } else {
                // Room under the cache's cap first (CacheCap.h): the least recently used go.
                std::error_code sizeError;
                const std::uint64_t bytes = fs::file_size(inProgress, sizeError);
                CacheCap::makeRoom(folder, bytes);
                // Not synced first: every look checks both ends of the file (cached()), so a
                // file a crash cut short is converted again, and a conversion never waits on a
                // disk busy with others' writes.
                try {
                    moveWithoutReplacing(inProgress, converted);
                } catch (const std::system_error&) {
                    removeIgnoringErrors(inProgress);
                    if (!fileExists(converted)) throw;
                }
                CacheCap::placed(converted, bytes);
            }
        };
        try {
            ConverterRun::run(options);
        } catch (const ConversionError& error) {
            // No page before the end of what the compressed file held.
            if (cut && error.kind() == ConversionError::Case::converterFailed)
                throw DecompressionError::damaged();
            throw;
        }
        return converted;
    } catch (const std::exception& error) {
        removeIgnoringErrors(inProgress);
        Logbook::defaultInstance().debug(std::string(error.what()), "run()");
        throw;
    }
}

ConverterRun::Options GhostScript::runOptions(const fs::path& output,
                                              const fs::path& scratchFolder,
                                              std::stop_token stop) const {
    const Settings settings = currentSettings();
    return {.converter = converterURL(),
            .source = fs::absolute(url),
            .output = output,
            .scratchFolder = scratchFolder,
            .timeLimit = settings.timeLimit,
            .gracePeriod = settings.gracePeriod,
            .confined = settings.confined,
            .writableFolders = settings.writableFolders,
            .stop = std::move(stop),
            .settled = settings.readInPlaceAtOnce ? std::chrono::nanoseconds(0) : StagedInput::kSettled,
            .writeCap = settings.writeCap,
            .landlock = settings.landlock,
            .newProcesses = settings.newProcesses,
            .environment = settings.passTestVariables ? testVariables()
                                                      : decltype(testVariables()){}};
}

namespace {

// Test doubles written as shell scripts need their interpreter to start programs.
bool isScript(const fs::path& program) {
    std::ifstream file(program, std::ios::binary);
    char start[2] = {};
    return file.read(start, 2) && start[0] == '#' && start[1] == '!';
}

}  // namespace

struct GhostScript::TestOverride::Previous {
    std::optional<Settings> settings;
};

GhostScript::TestOverride::TestOverride(fs::path converter, std::chrono::milliseconds timeLimit,
                                        std::chrono::milliseconds gracePeriod)
    : previous_(std::make_unique<Previous>()) {
    std::lock_guard lock(overrideMutex);
    previous_->settings = overrideSettings;
    const bool script = isScript(converter);
    overrideSettings = Settings{.converter = std::move(converter),
                                .timeLimit = timeLimit,
                                .gracePeriod = gracePeriod,
                                .checkOutput = false,  // fakes write text, not drawings
                                .passTestVariables = true,
                                .newProcesses = script};
}

GhostScript::TestOverride::~TestOverride() {
    std::lock_guard lock(overrideMutex);
    overrideSettings = previous_->settings;
}

GhostScript::TestOverride& GhostScript::TestOverride::unconfined() {
    std::lock_guard lock(overrideMutex);
    overrideSettings->confined = false;
    return *this;
}

GhostScript::TestOverride& GhostScript::TestOverride::withoutLandlock() {
    std::lock_guard lock(overrideMutex);
    overrideSettings->landlock = false;
    return *this;
}

GhostScript::TestOverride& GhostScript::TestOverride::checkingOutput() {
    std::lock_guard lock(overrideMutex);
    overrideSettings->checkOutput = true;
    return *this;
}

GhostScript::TestOverride& GhostScript::TestOverride::writeCap(std::uint64_t bytes) {
    std::lock_guard lock(overrideMutex);
    overrideSettings->writeCap = bytes;
    return *this;
}

GhostScript::TestOverride& GhostScript::TestOverride::readingInPlace() {
    std::lock_guard lock(overrideMutex);
    overrideSettings->readInPlaceAtOnce = true;
    return *this;
}

GhostScript::TestOverride& GhostScript::TestOverride::beforeStaging(std::function<void()> hook) {
    std::lock_guard lock(overrideMutex);
    overrideSettings->beforeStaging = std::move(hook);
    return *this;
}

GhostScript::TestOverride& GhostScript::TestOverride::allowWriting(fs::path folder) {
    std::lock_guard lock(overrideMutex);
    overrideSettings->writableFolders.push_back(std::move(folder));
    return *this;
}

}  // namespace vorrel
