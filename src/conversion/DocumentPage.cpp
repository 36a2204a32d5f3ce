#include "conversion/DocumentPage.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "conversion/PaperSize.h"

namespace vorrel {

namespace {

// The smallest known paper, upright or turned, holding a page of width x height.
std::optional<DocumentPage> smallestPaperHolding(double width, double height) {
    std::optional<DocumentPage> best;
    for (const platform::PaperSize& paper : platform::knownPaperSizes()) {
        for (const auto& [w, h] :
             {std::pair{paper.width, paper.height}, std::pair{paper.height, paper.width}}) {
            if (w < width || h < height) continue;
            if (!best || w * h < best->width * best->height) best = DocumentPage{w, h, paper.name};
        }
    }
    return best;
}

}  // namespace

DocumentPage documentPage(const DscHeader& header) {
    if (header.media) return {header.media->width, header.media->height, "media"};
    if (auto paper = platform::paperSizeNamed(header.paperSize))
        return {paper->width, paper->height, paper->name};
    const platform::PaperSize paper = platform::defaultPaperSize();
    const auto box = header.usableBox();
    const double right = box ? box->urx : 0, top = box ? box->ury : 0;
    if (right <= paper.width && top <= paper.height) return {paper.width, paper.height, paper.name};
    if (auto larger = smallestPaperHolding(right, top)) return *larger;
    return {std::max(right, paper.width), std::max(top, paper.height), "box"};
}

DocumentPage documentPage(const std::filesystem::path& file) {
    return documentPage(readDscHeader(file));
}

std::vector<std::string> documentPageArguments(const std::filesystem::path& file) {
    const DocumentPage page = documentPage(file);
    const auto points = [](double value) {
        char text[64];
        const auto written =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
        return std::string(text, written.ptr);
    };
    return {"-dDEVICEWIDTHPOINTS=" + points(page.width),
            "-dDEVICEHEIGHTPOINTS=" + points(page.height)};
}

}  // namespace vorrel
