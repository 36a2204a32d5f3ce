#pragma once
// GhostScript: converts one PostScript file into a PDF document or a PNG image with alpha, into
// the preview file cache, with the Ghostscript interpreter (the `converter` program) run under
// guard (ConverterRun.h; DESIGN.md has the layers, the staged input and the cache key).
//
// The constructor reads the source's kind (readSourceKind(), SourceKind.h): an EPS drawing is
// converted in the format asked for and cropped to its box; a document always becomes a PDF of
// all its pages, each at the size the document asks for (else the default paper), uncropped.
// It names the converted file by the SHA-256 of the source's bytes as stored, compressed or not
// (cachedFileURL()).
//
// What run() does:
//  0. fails with emptyFile (logged at debug level, function "run()") when the source has no
//     bytes, before the cache is looked at: Ghostscript would make a blank page of it, and
//     older versions may have cached that page;
//  1. returns outputFileURL at once when a whole file is there (no slot taken), recording its
//     use (CacheCap::recordUse); one cut short (isWholeConvertedFile) is converted again;
// 1b. claims the file's name (ConversionClaim.h): while another run of ours makes the same file
//     it waits for it (a background run gives up: ConverterRun::NoFreeSlot), until that run
//     names the file or ends; then returns the file as in step 1 when it is there; when a run
//     it waited for left none, goes on with what is left of the time limit (timedOut at once
//     when nothing is);
//  2. the first time in the process for this cache folder, removes the leftovers of killed runs
//     older than twice the time limit (StaleFiles.h);
//  3. converts under guard (ConverterRun::run: a slot waited for without limit, the source
//     staged — read in place when settled, else copied — arguments() for it, the time limit)
//     into "inprogress-<UUID>.<pdf|png>" beside it; steps 4 to 6 are done before the
//     converter's private folder is removed (ConverterRun.h, step 11);
//  4. names the result for the bytes converted: outputFileURL, unless the source changed after
//     the constructor hashed it (a cached file is never named for content it does not show);
//  5. checks it is whole (unreadableOutput if not);
//  6. when another conversion of the same content placed the file meanwhile, discards its own
//     (recording the use of the one there); else makes room under the cache's cap
//     (CacheCap::makeRoom, CacheCap::placed) and moves it into place without replacing
//     anything (not synced first: step 1 checks every file it finds); when that move fails its
//     file is removed, and the run still succeeds if the final file exists;
//  7. returns the converted file's path.
// On any failure from step 3 on, the in-progress file is removed, the error is logged at debug
// level through Logbook::defaultInstance() (function "run()"), the slot is released and the
// error is thrown: a ConversionError, ConverterRun::Cancelled when stopped, or
// std::system_error when the converter cannot be started or the move fails. A failed run never
// leaves a file at outputFileURL.
//
// Thread-safety: a GhostScript value is used by one thread; run() blocks that thread (on a
// slot, then on the child) and must not be called on the GUI thread. Any number of threads may
// run conversions at once, also of the same content (one converts it, the others wait); at most
// 4 converters run at a time.

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

    // The Ghostscript executable: the folder of the module holding this code, up two folders
    // (up one from a program's bin), then libexec/vorrel/converter.
    // P/lib/vorrel/vorrel-extension.so and P/bin/vorrel-quicklook give
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

    // A document's PDF, every page of it, fonts embedded, pages never turned automatically,
    // the input read only through the set-up (IncompleteDocument::runSetUp()). Its pages
    // start on the input's documentPage() (DocumentPage.h: its DSC media, else the default
    // paper); every page the document sizes with setpagedevice keeps its own size. The set-up turns the pages its orientation comments ask for
    // (pageTurnSetUp()) and moves a drawing that reaches below or left of the origin onto the
    // page (documentPageSetUp()). A document that never calls showpage still shows its one
    // page. A document that fails after it has shown pages, or that a compressed file held only
    // part of, keeps them in a PDF marked incomplete (IncompleteDocument.h); run() returns that
    // PDF, which is cached as it is, marked.
    static std::vector<std::string> documentArguments(const std::filesystem::path& outputPath,
                                                      const std::filesystem::path& input);

    // A drawing without crop arguments, the input last: a PNG with a transparent background
    // at `resolution`, or a PDF with its fonts embedded whole, each on the page Ghostscript's
    // -dEPSCrop finds. Both paths are absolute (outputPathArgument(), ConverterArguments.h),
    // so no file name can be taken for an option.
    std::vector<std::string> plainArguments(const std::filesystem::path& outputPath) const;
    std::vector<std::string> plainArguments(const std::filesystem::path& outputPath,
                                            const std::filesystem::path& input) const;

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
                              std::chrono::milliseconds timeLimit = ConverterRun::kTimeLimit,
                              std::chrono::milliseconds gracePeriod = ConverterRun::kGracePeriod);
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
    // Steps 2 to 7 of run(), with these arguments; `replacing` puts the result in place of a
    // file already there; `spent` of the time limit went waiting for another run's claim.
    std::filesystem::path convert(std::stop_token stop, const ArgumentsFor& argumentsFor,
                                  bool replacing,
                                  std::chrono::milliseconds spent = std::chrono::milliseconds(0)) const;
};

}  // namespace vorrel
