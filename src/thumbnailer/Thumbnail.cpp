#include "thumbnailer/Thumbnail.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <locale>
#include <sstream>
#include <system_error>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "conversion/PaperSize.h"
#include "platform/TemporaryFolder.h"
#include "conversion/ConversionError.h"
#include "conversion/ConverterRun.h"
#include "conversion/CropArguments.h"
#include "conversion/DocumentPage.h"
#include "conversion/ConverterArguments.h"
#include "conversion/GhostScript.h"
#include "conversion/PaintedArea.h"
#include "conversion/PngHeader.h"
#include "conversion/PostScript.h"
#include "cache/StaleFiles.h"
#include "thumbnailer/BlankPage.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

std::system_error fileError(int error, const std::string& what, const fs::path& path) {
    return std::system_error(error, std::generic_category(), what + " " + path.string());
}

// A regular file with bytes, that this process may read.
void checkSource(const fs::path& source) {
    const platform::FileDescriptor fd = platform::openToRead(source, {.nonBlocking = true});
    if (!fd) throw fileError(errno, "cannot read", source);
    const std::optional<platform::FileStatus> status = platform::statusOf(fd.get());
    if (!status) throw fileError(errno, "cannot read", source);
    if (status->type == platform::FileStatus::Type::folder)
        throw fileError(EISDIR, "cannot read", source);
    if (!status->isRegular()) throw fileError(EINVAL, "not a regular file:", source);
    if (status->size() == 0) throw ConversionError::emptyFile();
}

// Puts the finished PNG at `target`. An existing regular file there is written in place (same
// inode, same mode): some file managers create it and read the picture back through their own
// descriptor, which a rename would leave on the old, empty file. Anything else (nothing, a
// link, a special file) is replaced by a rename.
void place(const fs::path& picture, const fs::path& target) {
    const platform::FileDescriptor fd =
        platform::openToWrite(target, {.nonBlocking = true, .noFollow = true});
    if (const auto status = fd ? platform::statusOf(fd.get()) : std::optional<platform::FileStatus>();
        status && status->isRegular()) {
        if (!platform::copyInto(fd.get(), picture)) {
            const int error = errno;
            // A partial picture must not pass for a thumbnail.
            platform::truncateToNothing(fd.get());
            throw fileError(error, "cannot write", target);
        }
        return;
    }
    if (std::rename(picture.c_str(), target.c_str()) != 0)
        throw fileError(errno, "cannot write", target);
}

}  // namespace

Thumbnail::TimedOut::TimedOut(std::chrono::milliseconds limit)
    : std::runtime_error(ConversionError::timedOutText(limit)) {}

Thumbnail::DrawsNothing::DrawsNothing(const fs::path& source)
    : std::runtime_error(source.filename().string() + " draws nothing.") {}

Thumbnail::Thumbnail(fs::path file, int pixels)
    : source(std::move(file)), size(pixels), kind(readSourceKind(source)) {
    assert(size >= kMinimumSize && size <= kMaximumSize);
    choosePage(readDscHeader(source));
}

void Thumbnail::choosePage(const DscHeader& header) {
    paper.clear();
    if (kind.document) {
        documentStart = documentPage(header);
        paper = documentStart.origin;
        const DocumentPage shown = turnedPage(documentStart);
        page = {0, 0, shown.width, shown.height};
    } else if (const auto box = cropTo ? cropTo : header.usableBox()) {
        page = *box;
    } else {
        const platform::PaperSize paperSize = platform::defaultPaperSize();
        paper = paperSize.name;
        page = {0, 0, paperSize.width, paperSize.height};
    }
    const double longer = std::max(page.width(), page.height());
    resolution = size * 72.0 / longer;
    // Under one pixel a side would round to none, and Ghostscript fails on an empty page.
    const double onePixel = 72.0 / resolution;
    if (page.width() < onePixel) page.urx = page.llx + onePixel;
    if (page.height() < onePixel) page.ury = page.lly + onePixel;
    scale = 1;
    if (resolution < kMinimumResolution) {
        scale = resolution / kMinimumResolution;
        resolution = kMinimumResolution;
    }
}

std::vector<std::string> Thumbnail::arguments(const fs::path& outputPath,
                                             const fs::path& input) const {
    if (kind.document) return documentArguments(outputPath, input);
    char dotsPerInch[64];
    const auto written = std::to_chars(dotsPerInch, dotsPerInch + sizeof dotsPerInch, resolution,
                                       std::chars_format::fixed);
    std::vector<std::string> list = opaquePngArguments();
    list.insert(list.end(), {"-r" + std::string(dotsPerInch, written.ptr), "-dFirstPage=1",
                             "-dLastPage=1", "-o", outputPathArgument(outputPath)});
    auto [before, after] = cropArguments(page, scale, backdrop);
    list.insert(list.end(), before.begin(), before.end());
    list.push_back(fs::absolute(input).string());
    list.insert(list.end(), after.begin(), after.end());
    return list;
}

std::vector<std::string> Thumbnail::documentArguments(const fs::path& outputPath,
                                                      const fs::path& input) const {
    // Ghostscript keeps a resolution given with -r whatever setpagedevice asks for: the first
    // one is set here instead, on the page the document starts on (documentPage()).
    std::ostringstream setUp;
    setUp.imbue(std::locale::classic());
    setUp.precision(17);
    setUp << "userdict /setpagedevice { dup /PageSize known { dup length 1 add dict copy "
             "dup /PageSize get aload pop 2 copy lt { exch } if pop dup 0 gt { "
          << size * 72.0
          << " exch div dup 2 array astore 1 index exch /HWResolution exch put } { pop } ifelse "
             "} if //systemdict /setpagedevice get exec } bind put "
          << "<< /PageSize [" << page.width() << ' ' << page.height() << "] /HWResolution ["
          << resolution << ' ' << resolution << "] >> setpagedevice "
          << documentPageSetUp(documentStart, "1 ge { quit } if", true);
    std::vector<std::string> list = opaquePngArguments();
    list.insert(list.end(),
                {"-o", outputPathArgument(outputPath), "-c", setUp.str(), "-f",
                 fs::absolute(input).string(), "-c", kShowUnshownPage});
    return list;
}

void Thumbnail::write(const fs::path& output, const Options& options, std::stop_token stop) const {
    const fs::path target = fs::absolute(output);
    const fs::path folder = target.parent_path();
    removeStaleEntries(folder, kFolderPrefix, 2 * (options.timeLimit + options.gracePeriod));
    checkSource(source);

    // A private folder beside the output: sandboxes such as the one GNOME runs thumbnailers
    // in let nothing but the output's folder be written.
    const platform::TemporaryFolder work(folder, kFolderPrefix);
    const fs::path picture = work.path() / "thumbnail.png";
    ConverterRun::Options guard{.converter = options.converter,
                                .source = fs::absolute(source),
                                .output = picture,
                                .scratchFolder = work.path(),
                                .timeLimit = options.timeLimit,
                                .gracePeriod = options.gracePeriod,
                                .quiet = !options.converterMessages,
                                .stop = stop};
    const auto draw = [&](const Thumbnail& drawn) {
        guard.argumentsFor = [&drawn, &picture](const fs::path& input) {
            // The box or media of the bytes drawn: the staged (or expanded) copy.
            Thumbnail staged = drawn;
            staged.choosePage(readDscHeader(input));
            return staged.arguments(picture, input);
        };
        try {
            ConverterRun::run(guard);
        } catch (const ConversionError& error) {
            if (error.kind() == ConversionError::Case::timedOut) throw TimedOut(options.timeLimit);
            throw;
        }
        const auto header = readPngHeader(picture);
        if (!header || std::abs(static_cast<double>(std::max(header->width, header->height)) - size) > 1)
            throw ConversionError::unreadableOutput();
        if (stop.stop_requested()) throw ConverterRun::Cancelled(source);
    };
    draw(*this);
    if (isBlankPage(picture)) {
        // A drawing whose box misses what it paints is drawn cropped to that; one that paints
        // only white within its box, on a grey backdrop. What paints nothing has no thumbnail.
        if (kind.document) throw DrawsNothing(source);
        std::error_code ignored;
        fs::remove(picture, ignored);
        ConverterRun::Options measuring = guard;
        const PaintedArea area = findPaintedArea(measuring);
        if (!area.painted) throw DrawsNothing(source);
        Thumbnail again = *this;
        again.backdrop = area.declared && area.within(*area.declared);
        again.cropTo = again.backdrop ? area.declared : area.painted;
        draw(again);
        if (isBlankPage(picture)) throw DrawsNothing(source);
    }
    place(picture, target);
}

std::string Thumbnail::description() const {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << "Thumbnail of " << source.filename().string() << " at " << size << " pixels: ";
    if (kind.document)
        text << "the first page of a document, starting on the " << paper << " page ";
    else if (paper.empty())
        text << "the bounding box ";
    else
        text << "no usable bounding box, the whole " << paper << " page ";
    text << page.llx << ' ' << page.lly << ' ' << page.urx << ' ' << page.ury << " at "
         << resolution << " dpi";
    if (scale != 1) text << ", scaled by " << scale;
    return text.str();
}

}  // namespace vorrel
