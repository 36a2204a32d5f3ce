#pragma once
// GhostScript: converts one PostScript file into a PDF document or a PNG image with alpha by
// running the Ghostscript interpreter (the `converter` program) as a child process, into the
// preview file cache.
//
// The constructor reads the source's kind (readSourceKind(), SourceKind.h): an EPS drawing is
// converted in the format asked for and cropped to its box; a document always becomes a PDF of
// all its pages, each at the size the document asks for (else the default paper), uncropped.
// It then fixes where the converted file lives (cachedFileURL(): named by the SHA-256 of the
// source's bytes as stored, compressed or not). run() then:
//  0. fails with emptyFile (logged at debug level, function "run()") when the source has no
//     bytes, before the cache is looked at: Ghostscript would make a blank page of it, and older
//     versions may have cached that page;
//  1. returns outputFileURL at once when a whole file is there (a cache hit takes no slot),
//     recording its use (CacheCap::recordUse); a file there that is cut short (isWholeConvertedFile) is removed and converted again;
//  2. the first time in the process (for this cache folder), removes the leftovers of killed
//     runs older than twice the time limit (StaleFiles.h);
//  3. names an in-progress file "inprogress-<UUID>.<pdf|png>" next to it;
//  4. runs the converter under guard into it (ConverterRun.h): one of the 4 process-wide
//     conversionSlots() (waited for without limit), a private folder in the container's
//     "scratch" folder, the source staged there (StagedInput.h: read in place through a link
//     and hashed once the converter is done, which must give the key; else copied and hashed
//     in one read; a compressed source expanded there, within its cap) for the converter to
//     read instead of the user's path, arguments made for that file (its DSC box), the kernel's confinement
//     (ConverterPolicy.h), at most 60 seconds, then
//     SIGTERM, a short grace period and SIGKILL with timedOut; converterFailed(status) on a
//     non-zero status (128 + signal for a child that a signal ended), outputMissing when the
//     in-progress file is missing or empty; a stop request kills the converter at once;
//  5. names the result for the bytes converted: outputFileURL, unless the source changed after
//     the constructor hashed it, in which case the name is that of the staged bytes (a cached
//     file is never named for content it does not show);
//  6. checks the in-progress file is whole (unreadableOutput if not);
//  7. if another conversion of the same content placed the final file meanwhile, discards its
//     own in-progress file (recording the use of the one there); otherwise makes room under the
//     cache's cap (CacheCap::makeRoom: the least recently used converted files go; one larger
//     than the cap is placed all the same and goes first next time, CacheCap::placed), syncs
//     it to disk and moves it into place with a rename
//     that never replaces an existing file (the folder is not synced: a rename lost in a crash
//     costs one more conversion, never a cut file). When that move fails the in-progress file is
//     removed, and the run still succeeds if the final file exists;
//  8. returns the converted file's path (step 5).
// On any failure after step 3 the in-progress file is removed, the error is logged at debug
// level through Logbook::defaultInstance() (function "run()"), the slot is released and the
// error is thrown: a ConversionError, ConverterRun::Cancelled when stopped, or
// std::system_error when the converter cannot be started or the move fails. A failed run never
// leaves a file at outputFileURL.
//
// Thread-safety: a GhostScript value is used by one thread; run() blocks that thread (on a
// slot, then on the child) and must not be called on the GUI thread. Any number of threads may
// run conversions at once, also of the same content; at most 4 converters run at a time.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <semaphore>
#include <stop_token>
#include <string>
#include <vector>

#include "conversion/ConversionError.h"
#include "conversion/ConverterRun.h"
#include "cache/OutputFormat.h"
#include "conversion/SourceKind.h"

namespace vorrel {

class GhostScript {
public:
    std::filesystem::path url;            // the PostScript source file
    std::filesystem::path outputFileURL;  // final place of the converted file in the cache
    SourceKind kind;                      // drawing or document, compressed or not
    OutputFormat outputFormat;            // the format asked for; PDF for a document
    std::int64_t resolution;  // dots per inch for PNG output
    // Work done ahead of need (a neighbour in the preview window): run() never waits for a
    // slot, takes one only while another stays free (else ConverterRun::NoFreeSlot), and its
    // converter runs at low processor and idle I/O priority. A cache hit is served as ever.
    bool background = false;

    static constexpr std::chrono::milliseconds kTimeLimit{ConversionError::kTimeLimitSeconds *
                                                          1000};
    static constexpr std::chrono::milliseconds kGracePeriod{2000};

    // Computes outputFileURL with cachedFileURL(). When that throws (no group container,
    // unreadable source), logs the error at debug level (function "init(at:to:resolution:)")
    // and rethrows it.
    GhostScript(std::filesystem::path url, OutputFormat format, std::int64_t resolution);

    // Produces the converted file and returns its path (see above: outputFileURL unless the
    // source changed after the constructor). Throws. A stop
    // requested through `stop` ends the run at once with ConverterRun::Cancelled.
    std::filesystem::path run() const { return run(std::stop_token()); }
    std::filesystem::path run(std::stop_token stop) const;

    // For a drawing whose converted file `blank` (from run()) shows nothing: measures what the
    // drawing paints (findPaintedArea(), PaintedArea.h) and converts it once more, under the
    // same guard, into the file's place in the cache, replacing `blank`:
    //  - cropped to what it paints, when that passes the declared box (or none was usable):
    //    the box misses the drawing;
    //  - else at the declared box on a mid-grey backdrop (cropArguments() with backdrop): all it
    //    paints lies in the box, so it paints only white.
    // Logs which at debug level (function "run()"). Returns the converted file, or nothing when
    // the drawing paints nothing at all, or for a document. Errors as run().
    std::optional<std::filesystem::path> convertBlankAgain(const std::filesystem::path& blank,
                                                           std::stop_token stop) const;

    // The guard for a run of this file's converter besides run() (a document's first page,
    // FirstPage.h): the converter, the source, the limits and confinement in force (test
    // overrides included), writing `output` with a private folder in `scratchFolder`. The
    // caller adds the arguments (argumentsFor).
    ConverterRun::Options runOptions(const std::filesystem::path& output,
                                     const std::filesystem::path& scratchFolder,
                                     std::stop_token stop) const;

    // The Ghostscript executable: the folder of the module holding this code, up two folders,
    // then libexec/vorrel/converter. P/lib/vorrel/vorrel-extension.so gives
    // P/libexec/vorrel/converter. A TestOverride replaces it.
    std::filesystem::path converterURL() const;

    // The converter's arguments for writing `outputPath` from `input` (url unless given: the
    // file the converter reads, which for a compressed source is its expanded copy). For a
    // drawing: plainArguments(), and when the input's DSC comments name a usable box
    // (readDscHeader(input).usableBox()), the crop arguments for that box (cropArguments(),
    // CropArguments.h) placed around <in>:
    //   <plain arguments without in> <beforeSource...> <in> <afterSource...>
    // Without a usable box they are the plain arguments, item for item, and Ghostscript's own
    // -dEPSCrop decides the page as before. For a document, documentArguments().
    std::vector<std::string> arguments(const std::filesystem::path& outputPath) const;
    // The same for the converter reading `input` (the staged copy) instead of url.
    std::vector<std::string> arguments(const std::filesystem::path& outputPath,
                                       const std::filesystem::path& input) const;

    // A document's PDF (19 items): -dSAFER -dBATCH -dNOPAUSE -dNOCACHE -sDEVICE=pdfwrite
    //   -dDEVICEWIDTHPOINTS=<w> -dDEVICEHEIGHTPOINTS=<h>
    //   -dDetectDuplicateImages=true -dEmbedAllFonts=true -dCompressFonts=true
    //   -dAutoRotatePages=/None -dPreserveOverprintSettings=true -dCompatibilityLevel=1.7
    //   -sOutputFile=<out> --permit-file-read=<in>
    //   -c "<set-up> <run in, IncompleteDocument::runSetUp()> <show a page never shown>"
    // <w> x <h> is the input's documentPage() (DocumentPage.h: its DSC media, else the default
    // paper), the page its pages start on; every page the document sizes with setpagedevice
    // keeps its own size. The set-up turns the pages its orientation comments ask for
    // (pageTurnSetUp()) and moves a drawing that reaches below or left of the origin onto the
    // page (documentPageSetUp()). A document that never calls showpage still shows its one
    // page. A document that fails after it has shown pages, or that a compressed file held only
    // part of, keeps them in a PDF marked incomplete (IncompleteDocument.h); run() returns that
    // PDF, which is cached as it is, marked.
    static std::vector<std::string> documentArguments(const std::filesystem::path& outputPath,
                                                      const std::filesystem::path& input);

    // The fixed argument lists, each item separate. Both paths are made absolute, so no file
    // name can be taken for an option; a "%" in the output path is doubled, because
    // Ghostscript reads output names as templates. PNG (10 items):
    //   -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pngalpha -r<res> -dEPSCrop -o <out> <in>
    // PDF (17 items): -dSAFER -dBATCH -dNOPAUSE -dNOCACHE -sDEVICE=pdfwrite -dEPSCrop
    //   -dUseArtBox -dDetectDuplicateImages=true -dEmbedAllFonts=true -dSubsetFonts=false
    //   -dCompressFonts=true -dAutoRotatePages=/None -dPreserveOverprintSettings=true
    //   -dPDFSETTINGS=/prepress -dCompatibilityLevel=1.7 -sOutputFile=<out> <in>
    std::vector<std::string> plainArguments(const std::filesystem::path& outputPath) const;
    std::vector<std::string> plainArguments(const std::filesystem::path& outputPath,
                                            const std::filesystem::path& input) const;

    // `path` as Ghostscript's output options take it: absolute, each "%" doubled (Ghostscript
    // reads output names as templates). Inline, so that a program drawing with its own
    // arguments (the thumbnailer) need not link the preview's conversion and cache code.
    static std::string outputPathArgument(const std::filesystem::path& path) {
        std::string escaped;
        for (char c : std::filesystem::absolute(path).string()) {
            escaped.push_back(c);
            if (c == '%') escaped.push_back('%');
        }
        return escaped;
    }

    // The options that open an opaque, anti-aliased PNG drawing (the thumbnails and a
    // document's first page), ahead of each caller's own. Inline for the same reason.
    static std::vector<std::string> opaquePngArguments() {
        return {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4"};
    }

    // The process-wide limit on running converters, created on first use.
    static std::counting_semaphore<4>& conversionSlots();

    // Test seam, not a user setting: while an object lives, every conversion in the process
    // uses `converter` (when not empty) and the given limits; its destructor brings back what
    // was in force before, so overrides nest. A run takes the settings in force when it
    // starts. Under an override the converter also gets the variables VORREL_FAKE_* and
    // VORREL_PROBE_* of the environment (fakes read their instructions there), and converted
    // files are not checked for completeness (fakes write text) unless checkingOutput(); a
    // converter that is a script ("#!") may start programs, as its interpreter must. Create and destroy overrides on one thread, in nested order; call the setters
    // before the runs they are meant for.
    class TestOverride {
    public:
        explicit TestOverride(std::filesystem::path converter,
                              std::chrono::milliseconds timeLimit = kTimeLimit,
                              std::chrono::milliseconds gracePeriod = kGracePeriod);
        ~TestOverride();
        // Runs the converter without the kernel's confinement (a control run).
        TestOverride& unconfined();
        // Runs the converter with the other layers but without Landlock, as on kernels that
        // lack it.
        TestOverride& withoutLandlock();
        // Checks converted files as without an override (isWholeConvertedFile).
        TestOverride& checkingOutput();
        // Caps what one run may write in all at `bytes` instead of ConverterRun::kWriteCap.
        TestOverride& writeCap(std::uint64_t bytes);
        // Reads every source in place that may be (StagedInput.h), also one just written.
        TestOverride& readingInPlace();
        // Calls `hook` after the key was made and before the source is staged (a file that
        // changes meanwhile).
        TestOverride& beforeStaging(std::function<void()> hook);
        // Lets the converter also write beneath `folder` (fakes record what they saw there).
        TestOverride& allowWriting(std::filesystem::path folder);
        TestOverride(const TestOverride&) = delete;
        TestOverride& operator=(const TestOverride&) = delete;

    private:
        struct Previous;
        std::unique_ptr<Previous> previous_;
    };

private:
    using ArgumentsFor = std::function<std::vector<std::string>(
        const std::filesystem::path& outputPath, const std::filesystem::path& input)>;
    // Steps 2 to 8 of run(), with these arguments; `replacing` puts the result in place of a
    // file already there.
    std::filesystem::path convert(std::stop_token stop, const ArgumentsFor& argumentsFor,
                                  bool replacing) const;
};

}  // namespace vorrel
