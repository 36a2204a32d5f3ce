#include "shared/GhostScript.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <system_error>

#include "logbook/Logbook.h"
#include "platform/ModuleLocation.h"
#include "platform/Uuid.h"
#include "shared/ConverterRun.h"
#include "shared/CropArguments.h"
#include "shared/DscHeader.h"
#include "shared/PreviewFiles.h"
#include "shared/StaleFiles.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

struct Settings {
    fs::path converter;
    std::chrono::milliseconds timeLimit = GhostScript::kTimeLimit;
    std::chrono::milliseconds gracePeriod = GhostScript::kGracePeriod;
    bool confined = true;
    std::vector<fs::path> writableFolders;
};

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
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    int error = errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing target too.
    if (error == EINVAL || error == ENOSYS) {
        if (link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            return;
        }
        error = errno;
    }
    throw std::system_error(error, std::generic_category(),
                            "cannot move " + from.string() + " to " + to.string());
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
    return platform::moduleFolder(&anchor).parent_path().parent_path() / "libexec" / "vorrel" /
           "converter";
}

std::vector<std::string> GhostScript::arguments(const fs::path& outputPath,
                                               const fs::path& input) const {
    if (kind.document) return documentArguments(outputPath, input);
    std::vector<std::string> list = plainArguments(outputPath);
    list.back() = fs::absolute(input).string();
    if (const auto box = readDscHeader(input).usableBox()) {
        auto [before, after] = cropArguments(*box);
        list.insert(list.end() - 1, before.begin(), before.end());
        list.insert(list.end(), after.begin(), after.end());
    }
    return list;
}

std::vector<std::string> GhostScript::plainArguments(const fs::path& outputPath) const {
    const std::string out = outputPathArgument(outputPath);
    const std::string in = fs::absolute(url).string();
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
    return {"-dSAFER",
            "-dBATCH",
            "-dNOPAUSE",
            "-dNOCACHE",
            "-sDEVICE=pdfwrite",
            "-dDetectDuplicateImages=true",
            "-dEmbedAllFonts=true",
            "-dCompressFonts=true",
            "-dAutoRotatePages=/None",
            "-dPreserveOverprintSettings=true",
            "-dCompatibilityLevel=1.7",
            "-sOutputFile=" + outputPathArgument(outputPath),
            fs::absolute(input).string(),
            "-c",
            "systemdict begin currentpagedevice /PageCount get 0 eq { showpage } if end"};
}

fs::path GhostScript::run(std::stop_token stop) const {
    // Before the cache: older versions cached the blank page of an empty file.
    if (std::error_code error; fs::file_size(url, error) == 0 && !error) {
        const ConversionError empty = ConversionError::emptyFile();
        Logbook::defaultInstance().debug(empty.what(), "run()");
        throw empty;
    }
    if (fileExists(outputFileURL)) return outputFileURL;

    const Settings settings = currentSettings();
    const fs::path folder = outputFileURL.parent_path();
    removeStaleConverterFilesOnce(folder, scratchDirectory(folder), 2 * settings.timeLimit);
    const fs::path inProgress =
        folder / ("inprogress-" + platform::newUuidString() + "." +
                  std::string(fileExtension(outputFormat)));
    try {
        ConverterRun::run({.converter = converterURL(),
                           .arguments =
                               [this, &inProgress](const fs::path& input) {
                                   return arguments(inProgress, input);
                               },
                           .source = fs::absolute(url),
                           .output = inProgress,
                           .scratchFolder = scratchDirectory(folder),
                           .timeLimit = settings.timeLimit,
                           .gracePeriod = settings.gracePeriod,
                           .confined = settings.confined,
                           .writableFolders = settings.writableFolders,
                           .stop = std::move(stop)});
        if (fileExists(outputFileURL)) {
            removeIgnoringErrors(inProgress);
        } else {
            try {
                moveWithoutReplacing(inProgress, outputFileURL);
            } catch (const std::system_error&) {
                removeIgnoringErrors(inProgress);
                if (!fileExists(outputFileURL)) throw;
            }
        }
        return outputFileURL;
    } catch (const std::exception& error) {
        removeIgnoringErrors(inProgress);
        Logbook::defaultInstance().debug(std::string(error.what()), "run()");
        throw;
    }
}

struct GhostScript::TestOverride::Previous {
    std::optional<Settings> settings;
};

GhostScript::TestOverride::TestOverride(fs::path converter, std::chrono::milliseconds timeLimit,
                                        std::chrono::milliseconds gracePeriod)
    : previous_(std::make_unique<Previous>()) {
    std::lock_guard lock(overrideMutex);
    previous_->settings = overrideSettings;
    overrideSettings = Settings{std::move(converter), timeLimit, gracePeriod, true, {}};
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

GhostScript::TestOverride& GhostScript::TestOverride::allowWriting(fs::path folder) {
    std::lock_guard lock(overrideMutex);
    overrideSettings->writableFolders.push_back(std::move(folder));
    return *this;
}

}  // namespace vorrel
