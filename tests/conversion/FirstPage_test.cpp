// A document's first page through the real Ghostscript (the suite name starts with Ghostscript,
// as in RealConverter_test.cpp): drawn at the resolution asked for, never into the preview
// files, and never holding the last free conversion slot.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "conversion/ConversionFixture.h"
#include "conversion/FirstPage.h"
#include "conversion/PngHeader.h"
#include "support/PostScript.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;

class GhostscriptFirstPage : public test::ConversionTest {
protected:
    GhostScript::TestOverride useRealConverter_{realConverter()};

    static bool scratchEmpty() {
        std::error_code error;
        return fs::is_empty(scratchDirectory(previewFilesDirectory()), error) || error;
    }
};

// Width and height from a PNG's header; {0, 0} for no PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(const fs::path& file) {
    const auto header = readPngHeader(file);
    return header ? std::pair(header->width, header->height) : std::pair(0u, 0u);
}

TEST_F(GhostscriptFirstPage, TakesASlotOnlyWhileAnotherStaysFreeAndLeavesNothing) {
    const GhostScript conversion(source("three pages.ps", test::ps::threePages()),
                                 OutputFormat::PDF, 200);
    auto& slots = GhostScript::conversionSlots();
    slots.acquire();
    slots.acquire();
    slots.acquire();
    EXPECT_THROW(FirstPage(conversion, 72, {}), ConverterRun::NoFreeSlot);
    slots.release();
    {
        // Two free: the page, 300 x 500 points, at 144 dots per inch.
        const FirstPage page(conversion, 144, {});
        EXPECT_EQ(pngSize(page.file()), std::pair(600u, 1000u));
    }
    slots.release(2);
    EXPECT_TRUE(allSlotsFree());
    EXPECT_TRUE(scratchEmpty());
    EXPECT_TRUE(cacheEntries().empty());
}

// The image takes the PDF's page: declared media, not the default paper, so the window keeps its
// size when the PDF replaces the image.
TEST_F(GhostscriptFirstPage, StartsOnTheMediaTheDocumentDeclares) {
    const GhostScript conversion(
        source("declared media.ps",
               "%!PS-Adobe-3.0\n%%DocumentMedia: (Wide Sheet) 700 300 0 () ()\n%%EndComments\n"
               "0 0 1 setrgbcolor 100 100 100 100 rectfill showpage\n"),
        OutputFormat::PDF, 200);
    const FirstPage page(conversion, 72, {});
    EXPECT_EQ(pngSize(page.file()), std::pair(700u, 300u));
}

}  // namespace
}  // namespace vorrel
