#pragma once
// documentPage(): the page a PostScript document's pages start on. It is the converter's
// default page, never a fixed one: a page the document sets itself with setpagedevice keeps
// the size it asks for.
//
//  1. The media the document's DSC comments declare (DscHeader::media), else the known paper
//     its "%%DocumentPaperSizes:" names (platform::paperSizeNamed()).
//  2. Else the default paper (platform::defaultPaperSize()), as long as the document's
//     %%BoundingBox, when it has a usable one, lies on it: from the origin, its upper-right
//     corner within the paper.
//  3. Else, so that nothing inside the box is cut off, the smallest known paper
//     (platform::knownPaperSizes()), upright or turned, that holds that corner; where none
//     does, a page just that large.
// The box only ever makes the page larger: a document is never cropped to it.
//
// Thread-safety: plain functions; call them from any thread (see platform/PaperSize.h).

#include <filesystem>
#include <string>
#include <vector>

#include "conversion/DscHeader.h"

namespace vorrel {

struct DocumentPage {
    double width = 0, height = 0;  // points
    // Where the size came from: "media", a paper's name, or "box".
    std::string origin;
};

DocumentPage documentPage(const DscHeader& header);
// The page for the document in `file` (readDscHeader(file)).
DocumentPage documentPage(const std::filesystem::path& file);

// That page as Ghostscript's default page, for the document in `file`:
//   -dDEVICEWIDTHPOINTS=<width> -dDEVICEHEIGHTPOINTS=<height>
// No -dFIXEDMEDIA, so the document's own setpagedevice still wins.
std::vector<std::string> documentPageArguments(const std::filesystem::path& file);

}  // namespace vorrel
