#include "conversion/PaintedArea.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <system_error>

#include "conversion/PostScript.h"
#include "platform/Paths.h"
#include "platform/TemporaryFolder.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

std::string decimal(double value) {
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, written.ptr);
}

}  // namespace

bool PaintedArea::within(const BoundingBox& box) const {
    if (!painted) return true;
    constexpr double slack = 1;
    return painted->llx >= box.llx - slack && painted->lly >= box.lly - slack &&
           painted->urx <= box.urx + slack && painted->ury <= box.ury + slack;
}

std::vector<std::string> PaintedArea::arguments(const fs::path& outputPath, const fs::path& input) {
    const std::string out = fs::absolute(outputPath).string();
    const std::string half = decimal(kReach / 2);
    // EndPage is given the count of pages shown before and the reason; the first page's box goes
    // to the file (the device's PageBoundingBox, in its pixels), no page is output.
    const std::string setUp =
        "<< /BeginPage { pop " + half + " " + half +
        " translate } /EndPage { 2 ne exch 0 eq and { currentdevice getdeviceprops .dicttomark "
        "/PageBoundingBox get (" +
        postScriptString(out) +
        ") (w) file exch { 1 index exch 32 string cvs writestring dup ( ) writestring } forall "
        "closefile } if false } >> setpagedevice";
    return {"-q",
            "-dSAFER",
            "-dBATCH",
            "-dNOPAUSE",
            "-sDEVICE=bbox",
            "-r" + std::to_string(kResolution),
            "-dWhiteIsOpaque=true",
            "--permit-file-write=" + out,
            "-dDEVICEWIDTHPOINTS=" + decimal(kReach),
            "-dDEVICEHEIGHTPOINTS=" + decimal(kReach),
            "-dFIXEDMEDIA",
            "-dNOEPS",
            "-dALLOWPSTRANSPARENCY",
            "-c",
            setUp,
            "-f",
            fs::absolute(input).string(),
            "-c",
            kShowUnshownPage};
}

std::optional<BoundingBox> PaintedArea::read(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    if (!std::getline(in, text)) return std::nullopt;
    std::istringstream numbers(text);
    numbers.imbue(std::locale::classic());
    double pixels[4];
    for (double& value : pixels)
        if (!(numbers >> value) || !std::isfinite(value)) return std::nullopt;
    const double perPoint = kResolution / 72.0, half = kReach / 2;
    const auto points = [&](double value, bool down) {
        const double tenths = value / perPoint * 10;
        return (down ? std::floor(tenths) : std::ceil(tenths)) / 10 - half;
    };
    BoundingBox box{points(pixels[0], true), points(pixels[1], true), points(pixels[2], false),
                    points(pixels[3], false)};
    if (box.urx <= box.llx || box.ury <= box.lly) return std::nullopt;  // nothing painted
    return box;
}

PaintedArea findPaintedArea(ConverterRun::Options guard) {
    if (auto error = platform::createPrivateFolders(guard.scratchFolder))
        throw std::system_error(error, "cannot create " + guard.scratchFolder.string());
    const platform::TemporaryFolder folder(guard.scratchFolder, "vorrel-converter-");
    PaintedArea area;
    guard.output = folder.path() / "painted-area.txt";
    guard.arguments.clear();
    guard.argumentsFor = [&area, output = guard.output](const fs::path& input) {
        area.declared = readDscHeader(input).usableBox();
        return PaintedArea::arguments(output, input);
    };
    guard.quiet = true;
    ConverterRun::run(guard);
    area.painted = PaintedArea::read(guard.output);
    return area;
}

}  // namespace vorrel
