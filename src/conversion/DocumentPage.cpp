#include "conversion/DocumentPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
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

// The known paper, upright or turned, that the box is to within the tolerance.
std::optional<DocumentPage> paperOfBox(const BoundingBox& box) {
    const auto near = [](double a, double b) {
        return std::abs(a - b) <= DocumentPage::kPaperTolerance;
    };
    if (!near(box.llx, 0) || !near(box.lly, 0)) return std::nullopt;
    for (const platform::PaperSize& paper : platform::knownPaperSizes())
        for (const auto& [w, h] :
             {std::pair{paper.width, paper.height}, std::pair{paper.height, paper.width}})
            if (near(box.urx, w) && near(box.ury, h)) return DocumentPage{w, h, paper.name};
    return std::nullopt;
}

std::string points(double value) {
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, written.ptr);
}

}  // namespace

DocumentPage documentPage(const DscHeader& header) {
    DocumentPage page = [&header]() -> DocumentPage {
        if (header.media) return {header.media->width, header.media->height, "media"};
        if (auto paper = platform::paperSizeNamed(header.paperSize))
            return {paper->width, paper->height, paper->name};
        const platform::PaperSize paper = platform::defaultPaperSize();
        const auto box = header.usableBox();
        if (!box) return {paper.width, paper.height, paper.name};
        if (auto named = paperOfBox(*box)) return *named;
        constexpr double graze = DocumentPage::kGrazeTolerance;
        if (box->llx >= -graze && box->lly >= -graze && box->urx <= paper.width + graze &&
            box->ury <= paper.height + graze)
            return {paper.width, paper.height, paper.name};
        // Painted left of or below the origin: moved onto the page rather than cut.
        const double shiftX = box->llx < -graze ? -box->llx : 0;
        const double shiftY = box->lly < -graze ? -box->lly : 0;
        const double right = box->urx + shiftX, top = box->ury + shiftY;
        DocumentPage moved;
        if (right <= paper.width + graze && top <= paper.height + graze)
            moved = {paper.width, paper.height, paper.name};
        else if (auto larger = smallestPaperHolding(right, top))
            moved = *larger;
        else
            moved = {std::max(right, paper.width), std::max(top, paper.height), "box"};
        moved.shiftX = shiftX;
        moved.shiftY = shiftY;
        return moved;
    }();
    page.turn = header.turn;
    return page;
}

DocumentPage documentPage(const std::filesystem::path& file) {
    return documentPage(readDscHeader(file));
}

std::vector<std::string> documentPageArguments(const std::filesystem::path& file) {
    return documentPageArguments(documentPage(file));
}

std::vector<std::string> documentPageArguments(const DocumentPage& page) {
    return {"-dDEVICEWIDTHPOINTS=" + points(page.width),
            "-dDEVICEHEIGHTPOINTS=" + points(page.height)};
}

DocumentPage turnedPage(const DocumentPage& page) {
    DocumentPage turned = page;
    if (page.turn != 0) std::swap(turned.width, turned.height);
    return turned;
}

std::string documentPageSetUp(const DocumentPage& page, std::string_view beginPage,
                              bool turnDrawing) {
    std::string code = "<< /BeginPage { " + std::string(beginPage);
    if (turnDrawing && page.turn != 0) {
        // Turned clockwise for the viewer: (x, y) goes to (y, width - x); Seascape the other way.
        const std::string turn = page.turn == 90 ? "0 " + points(page.width) + " translate -90 rotate"
                                                 : points(page.height) + " 0 translate 90 rotate";
        code += " currentpagedevice /PageSize get aload pop " + points(page.width) +
                " sub abs 1 lt exch " + points(page.height) + " sub abs 1 lt and { " + turn +
                " } if";
    }
    if (page.shiftX != 0 || page.shiftY != 0)
        code += " " + points(page.shiftX) + " " + points(page.shiftY) + " translate";
    return code + " } >> setpagedevice";
}

std::string pageTurnSetUp() {
    // The converter hands every "%%" comment to ProcessDSCComment; the one in force is kept
    // and called after ours. The turns live in global memory, so that a page's save and
    // restore cannot bring an old one back.
    return "currentglobal true setglobal userdict /vorrelTurns 3 dict put setglobal "
           "vorrelTurns begin /document 0 def /page -1 def /turn 0 def end "
           "/vorrelTurnNamed { (Landscape) search { pop pop pop 90 } { (Seascape) search "
           "{ pop pop pop 270 } { pop 0 } ifelse } ifelse } bind def "
           "<< /ProcessDSCComment currentuserparams /ProcessDSCComment get "
           "{ dup (%%Orientation:) anchorsearch { pop vorrelTurnNamed vorrelTurns exch "
           "/document exch put } { pop } ifelse "
           "dup (%%PageOrientation:) anchorsearch { pop vorrelTurnNamed vorrelTurns exch "
           "/page exch put } { pop } ifelse "
           "PREVIOUS dup null eq { pop pop pop } { exec } ifelse } "
           "dup dup length 7 sub 4 -1 roll put bind >> setuserparams "
           "<< /EndPage { exch pop dup 2 ne { vorrelTurns begin "
           "/turn page 0 lt { document } { page } ifelse def /page -1 def "
           // The page device only for a page to turn: copying it costs more than the page.
           "turn 0 ne { currentpagedevice /PageSize get aload pop le "
           "{ [ {ThisPage} << /Rotate turn >> /PUT pdfmark } if } if end } if 2 ne } >> "
           "setpagedevice";
}

}  // namespace vorrel
