#pragma once
// documentPage(): the page a PostScript document's pages start on. It is the converter's
// default page, never a fixed one: a page the document sets itself with setpagedevice keeps
// the size it asks for.
//
//  1. The media the document's DSC comments declare (DscHeader::media), else the known paper
//     its "%%DocumentPaperSizes:" or "%%PaperSize:" names (platform::paperSizeNamed()).
//  2. Else a %%BoundingBox (when usable) from the origin that is a known paper, upright or
//     turned, to within kPaperTolerance points on each side (dvips writes A4 as 596 x 842):
//     that paper.
//  3. Else the default paper (platform::defaultPaperSize()), as long as the box lies on it;
//     a box that passes its edges by at most kGrazeTolerance points (a writer's margin around
//     its drawing) still counts as lying on it.
//  4. Else, so that nothing inside the box is cut off: a box with a corner left of or below
//     the origin moves every page's drawing right or up by that much (shiftX, shiftY), and the
//     page is the smallest known paper (platform::knownPaperSizes()), upright or turned, that
//     holds the box so moved; where none does, a page just that large.
// The box only ever makes the page larger: a document is never cropped to it.
//
// turn is the header's orientation (DscHeader::turn): the clockwise turn a viewer gives its
// portrait pages.
//
// Thread-safety: plain functions; call them from any thread (see platform/PaperSize.h).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/DscHeader.h"

namespace vorrel {

struct DocumentPage {
    static constexpr double kPaperTolerance = 2;
    static constexpr double kGrazeTolerance = 8;

    double width = 0, height = 0;  // points
    // Where the size came from: "media", a paper's name, or "box".
    std::string origin;
    // How far every page's drawing moves right and up, in points (step 4).
    double shiftX = 0, shiftY = 0;
    int turn = 0;  // 0, 90 or 270
};

DocumentPage documentPage(const DscHeader& header);
// The page for the document in `file` (readDscHeader(file)).
DocumentPage documentPage(const std::filesystem::path& file);

// That page as Ghostscript's default page, for the document in `file`:
//   -dDEVICEWIDTHPOINTS=<width> -dDEVICEHEIGHTPOINTS=<height>
// No -dFIXEDMEDIA, so the document's own setpagedevice still wins.
std::vector<std::string> documentPageArguments(const std::filesystem::path& file);
std::vector<std::string> documentPageArguments(const DocumentPage& page);

// The page as a picture of it shows it: width and height swapped when it is turned.
DocumentPage turnedPage(const DocumentPage& page);

// PostScript for the page device, run before the document: a BeginPage procedure that runs
// `beginPage` (which is given the count of pages shown so far and must consume it; "pop" by
// default) and then moves the drawing by the page's shift. With `turnDrawing` (a picture,
// drawn on turnedPage()), it first turns the drawing by the page's turn, on every page of that
// turned size: a page the document sizes otherwise with setpagedevice is left as it asks.
std::string documentPageSetUp(const DocumentPage& page, std::string_view beginPage = "pop",
                              bool turnDrawing = false);

// PostScript, run before a document converted to PDF, that turns the pages its orientation
// comments ask for: the document's %%Orientation, each page's own %%PageOrientation (as the
// converter reads them), with a /Rotate entry on the PDF page. A page the document itself
// made wider than high is left as it is: it is turned already.
std::string pageTurnSetUp();

}  // namespace vorrel
