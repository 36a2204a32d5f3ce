#include "conversion/FirstPage.h"

#include <charconv>
#include <system_error>

#include "platform/Paths.h"

#include "conversion/DocumentPage.h"
#include "conversion/ConverterArguments.h"
#include "conversion/GhostScript.h"
#include "conversion/PostScript.h"
#include "cache/PreviewFiles.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

fs::path scratchFolder() {
    const fs::path folder = scratchDirectory(previewFilesDirectory());
    if (auto error = platform::createPrivateFolders(folder))
        throw std::system_error(error, "cannot create " + folder.string());
    return folder;
}

}  // namespace

FirstPage::FirstPage(const GhostScript& conversion, double dotsPerInch, std::stop_token stop)
    : folder_(scratchFolder(), "vorrel-converter-"), file_(folder_.path() / "page-1.png") {
    ConverterRun::Options options = conversion.runOptions(file_, folder_.path(), std::move(stop));
    options.argumentsFor = [this, dotsPerInch](const fs::path& input) {
        return arguments(file_, input, dotsPerInch);
    };
    options.quiet = true;  // the document's conversion logs its own messages
    options.leaveOneSlotFree = true;
    ConverterRun::run(options);
}

std::vector<std::string> FirstPage::arguments(const fs::path& outputPath, const fs::path& input,
                                              double dotsPerInch) {
    char resolution[64];
    const auto written = std::to_chars(resolution, resolution + sizeof resolution, dotsPerInch,
                                       std::chars_format::fixed);
    // The page the PDF starts on too, so that the PDF takes the image's place at its size.
    const DocumentPage page = documentPage(input);
    const std::vector<std::string> size = documentPageArguments(turnedPage(page));
    std::vector<std::string> list = opaquePngArguments();
    list.insert(list.end(),
                {size[0], size[1], "-r" + std::string(resolution, written.ptr), "-o",
                 outputPathArgument(outputPath),
                 // The page device's BeginPage runs with the number of pages shown so far: at
                 // the start of the second page the drawing of the first is complete.
                 "-c", documentPageSetUp(page, "1 ge { quit } if", true), "-f",
                 fs::absolute(input).string(), "-c", kShowUnshownPage});
    return list;
}

}  // namespace vorrel
