#pragma once
// Thumbnail: the first page of one PostScript file drawn by the converter straight into an
// opaque PNG image whose longer side is `size` pixels (what vorrel-thumbnailer -s SIZE INPUT
// OUTPUT makes). A compressed file is expanded first (ConverterRun.h, StagedInput.h). The
// drawing lies on a white page, what it was made for: black line art on a transparent
// background would vanish on a dark file manager.
//
// A document (readSourceKind(), SourceKind.h) is never cropped: its first page is drawn whole,
// at the size the document asks for with setpagedevice, else on the page its DSC comments
// declare or the default paper (documentPage(), DocumentPage.h); the
// resolution follows each page size the document sets, so the longer side stays `size`, and
// the converter stops when that page is done (documentArguments()).
//
// A drawing (EPS):
// The page is cropped as the preview crops: to the box readDscHeader(source).usableBox()
// names. A file without a usable box shows the whole page Ghostscript would give it, the
// system's default paper (platform::defaultPaperSize()), fixed so that the document cannot
// change it. The resolution is size × 72 / the page's longer side, so Ghostscript draws the
// thumbnail at its size, never larger to be shrunk. Two corrections keep that possible:
//  - below kMinimumResolution, where Ghostscript refuses to draw, it draws at that resolution
//    on a page scaled down with the drawing (cropArguments(box, scale)): the same pixels;
//  - a shorter side that would come out under one pixel is widened to one (upwards or to the
//    right; the widening stays white).
// Only the first page is drawn.
//
// write(output, options, stop):
//  1. removes leftovers of killed runs beside `output`: ".vorrel-thumbnailer-*" entries older
//     than twice the time limit and grace period;
//  2. fails when the source cannot be opened or is no regular file (std::system_error), and
//     with emptyFile when it has no bytes;
//  3. makes a private folder ".vorrel-thumbnailer-XXXXXX" (0700) beside `output`, the one place
//     a sandboxed thumbnailer can be sure to write: it holds the converter's temporary folder and
//     the PNG while it is written;
//  4. runs the converter under guard (ConverterRun.h: one of this process's 4 conversion slots,
//     the kernel's confinement, at most options.timeLimit, then the grace period), its
//     messages discarded unless options.converterMessages (then their last 64 KiB are logged
//     at debug level, control characters escaped, when the run fails);
//  5. checks the PNG: its signature and a longer side of `size` ± 1 pixel, else unreadableOutput;
//  6. unless a stop was requested, when the page stayed wholly white: a document fails with
//     DrawsNothing; a drawing is measured (findPaintedArea(), PaintedArea.h) and drawn once more,
//     cropped to what it paints when that passes its box, else, as it paints only white, on a
//     mid-grey backdrop at its box; DrawsNothing when it paints nothing at all;
//  7. puts the PNG at `output`: an existing regular file there is truncated and written in
//     place, keeping its inode and mode (file managers that create OUTPUT read the picture
//     back through their own descriptor); otherwise the PNG is renamed to `output`, replacing
//     a link or special file there;
//  8. removes the private folder, on every path.
// A failed or stopped write leaves `output` as it was, except that a write in place that fails
// part-way (a full disk) leaves the file empty rather than a partial picture. Nothing is read
// from or written to the user's home: no settings, no cache, no log file.
//
// Errors: ConversionError; DrawsNothing ("NAME draws nothing."); a time-out says the
// thumbnailer's own limit ("Ghostscript did not finish within 15 seconds.", a TimedOut);
// ConverterRun::Cancelled when stopped; std::system_error for files and folders that cannot be
// read or made.
//
// Thread-safety: a Thumbnail is a value; write() blocks its thread and may run on several
// threads at once (at most 4 converters run at a time).

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

#include "conversion/DocumentPage.h"
#include "conversion/DscHeader.h"
#include "conversion/SourceKind.h"

namespace vorrel {

class Thumbnail {
public:
    static constexpr int kMinimumSize = 1;
    static constexpr int kMaximumSize = 4096;
    static constexpr std::chrono::milliseconds kTimeLimit{15'000};
    static constexpr std::chrono::milliseconds kGracePeriod{1'000};
    // Ghostscript refuses resolutions below about 1.8 dots per inch; keep well clear.
    static constexpr double kMinimumResolution = 9;
    // The prefix of the private folders beside the output.
    static constexpr const char* kFolderPrefix = ".vorrel-thumbnailer-";

    struct Options {
        std::filesystem::path converter;  // the Ghostscript program
        // The time limit is a test seam, not a user setting.
        std::chrono::milliseconds timeLimit = kTimeLimit;
        std::chrono::milliseconds gracePeriod = kGracePeriod;
        // Keeps the converter's last messages for the debug log of a failed run.
        bool converterMessages = false;
    };

    // The time limit passed: "Ghostscript did not finish within N seconds."
    class TimedOut : public std::runtime_error {
    public:
        explicit TimedOut(std::chrono::milliseconds limit);
    };

    std::filesystem::path source;
    int size;
    SourceKind kind;
    BoundingBox page;   // in the document's points, after widening
    std::string paper;  // the default paper's name when the file names no usable box; for a
                        // document where its first page's size came from (DocumentPage::origin)
    double resolution;  // dots per inch Ghostscript draws at
    double scale;       // 1, or the page's scale below kMinimumResolution
    DocumentPage documentStart;  // a document's documentPage(); page is it as turned
    // A drawing's page instead of its declared box, and whether it lies on a grey backdrop
    // (step 6).
    std::optional<BoundingBox> cropTo;
    bool backdrop = false;

    // Reads the source's header and chooses the page. Call with kMinimumSize ≤ size ≤
    // kMaximumSize. Never throws for the file's sake: an unreadable file has no box.
    Thumbnail(std::filesystem::path source, int size);

    // The page stayed blank: "NAME draws nothing.", NAME the source's file name.
    class DrawsNothing : public std::runtime_error {
    public:
        explicit DrawsNothing(const std::filesystem::path& source);
    };

    // The converter's arguments for drawing into `outputPath` from `input` (source unless
    // given). A drawing:
    //   -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -dTextAlphaBits=4 -dGraphicsAlphaBits=4
    //   -r<resolution> -dFirstPage=1 -dLastPage=1 -o <out> <crop arguments before> <in>
    //   <crop arguments after>
    // A document: documentArguments().
    std::vector<std::string> arguments(const std::filesystem::path& outputPath) const {
        return arguments(outputPath, source);
    }
    std::vector<std::string> arguments(const std::filesystem::path& outputPath,
                                       const std::filesystem::path& input) const;

    // A document's first page:
    //   -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -dTextAlphaBits=4 -dGraphicsAlphaBits=4
    //   -o <out> -c "<set-up>" -f <in> -c "<show a page that was never shown>"
    // The set-up starts on `page` (documentPage()) at `resolution`, gives every setpagedevice that
    // names a PageSize the resolution that draws that page's longer side at `size` pixels, and
    // quits when the second page would begin; a turned page (its orientation) is drawn turned
    // and a drawing reaching below or left of the origin moved onto it (documentPageSetUp()).
    std::vector<std::string> documentArguments(const std::filesystem::path& outputPath,
                                               const std::filesystem::path& input) const;

    void write(const std::filesystem::path& output, const Options& options,
               std::stop_token stop = {}) const;

    // One line for the curious: the page, where it came from, the resolution.
    std::string description() const;

private:
    // Sets page, paper, resolution and scale: for a drawing from its usable box, else the
    // default paper; for a document from documentPage().
    void choosePage(const DscHeader& header);
};

}  // namespace vorrel
