#pragma once
// FirstPage: the first page of a PostScript document drawn alone, at screen resolution, into a
// PNG image, to be shown while the whole document is converted to PDF.
//
// FirstPage(conversion, dotsPerInch, stop) blocks its thread:
//  1. makes a private folder "vorrel-converter-XXXXXX" (0700) in the container's scratch folder
//     (the prefix of the converters' own folders, so that the leftovers of a killed process are
//     swept as theirs are, StaleFiles.h);
//  2. runs the converter under the guard of `conversion` (GhostScript::runOptions(): the same
//     converter, limits and confinement; the source staged and expanded as for the PDF), with
//     leaveOneSlotFree: it takes one of the 4 conversion slots only while another stays free,
//     so it never holds the slot the document's own conversion waits for, and fails with
//     ConverterRun::NoFreeSlot instead of waiting;
//  3. leaves the page in file(): an opaque PNG at `dotsPerInch`, the page at the size the
//     document gives it (as in its PDF), its resolution recorded in the PNG.
// The folder and the image go with the object; the image never enters the preview files folder,
// so it can never be taken for the document's PDF. Errors: those of ConverterRun::run(), and
// std::system_error when the folder cannot be made; on any error nothing is left behind.
//
// Thread-safety: a value used by one thread; any number may be drawn at once.

#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/TemporaryFolder.h"

namespace vorrel {

class GhostScript;

class FirstPage {
public:
    FirstPage(const GhostScript& conversion, double dotsPerInch, std::stop_token stop);

    const std::filesystem::path& file() const { return file_; }

    // The converter's arguments:
    //   -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m <documentPageArguments(turnedPage(documentPage(in)))>
    //   -dTextAlphaBits=4 -dGraphicsAlphaBits=4
    //   -r<dpi> -o <out> -c "<quit when the second page would begin; turn and move the
    //   drawing as documentPageSetUp() does>" -f <in>
    //   -c "<show a page that was never shown>"
    static std::vector<std::string> arguments(const std::filesystem::path& outputPath,
                                              const std::filesystem::path& input,
                                              double dotsPerInch);

private:
    platform::TemporaryFolder folder_;
    std::filesystem::path file_;
};

}  // namespace vorrel
