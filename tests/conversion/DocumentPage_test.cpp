// The page a document starts on: what it declares, else the user's paper, enlarged only so
// that nothing inside its bounding box is cut off.
#include "conversion/DocumentPage.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace vorrel {
namespace {

TEST(DocumentPage, DeclaredMediaElseThePaperThatHoldsTheBox) {
    const struct Case {
        const char* name;
        DscHeader header;
        const char* userPaper;
        DocumentPage page;
    } cases[] = {
        {"declared media beat the paper and the box",
         {BoundingBox{0, 0, 2000, 2000}, {}, MediaSize{300, 500}, "a3"},
         "a4",
         {300, 500, "media"}},
        {"paper sizes by name", {{}, {}, {}, "Letter"}, "a4", {612, 792, "letter"}},
        {"nothing declared: the user's paper", {}, "letter", {612, 792, "letter"}},
        {"a box on the paper does not crop",
         {BoundingBox{50, 50, 100, 100}},
         "a4",
         {595, 842, "a4"}},
        {"a letter box on A4", {BoundingBox{0, 0, 612, 792}}, "a4", {612, 792, "letter"}},
        {"a landscape box", {BoundingBox{10, 10, 842, 595}}, "letter", {842, 595, "a4"}},
        {"a box larger than any paper", {BoundingBox{0, 0, 3000, 1000}}, "a4", {3000, 1000, "box"}},
        // dvips writes A4 one point wide; a paper named in %%PaperSize beats the user's.
        {"A4 as dvips boxes it", {BoundingBox{0, 0, 596, 842}}, "letter", {595, 842, "a4"}},
        {"A4 turned, a point short", {BoundingBox{0, 0, 841, 594}}, "letter", {842, 595, "a4"}},
        {"a %%PaperSize name", {BoundingBox{0, 0, 596, 842}, {}, {}, "A4"}, "letter",
         {595, 842, "a4"}},
        // A margin of a few points around the drawing is no reason for a larger paper.
        {"a box grazing the paper's edges", {BoundingBox{-4, -4, 616, 796}}, "letter",
         {612, 792, "letter"}},
        {"nine points past the edge", {BoundingBox{0, 0, 621, 792}}, "letter",
         {792, 1224, "tabloid"}},
        // Drawn left of and below the origin: moved onto the page, never cut.
        {"negative corners on the paper", {BoundingBox{-50, -20, 500, 700}}, "a4",
         {595, 842, "a4", 50, 20}},
        {"negative corners beyond every paper", {BoundingBox{-319, -124, 931, 916}}, "a4",
         {1250, 1040, "box", 319, 124}},
        {"one negative corner", {BoundingBox{-100, 10, 600, 800}}, "a4",
         {792, 1224, "tabloid", 100, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setenv("PAPERSIZE", c.userPaper, 1);
        const DocumentPage page = documentPage(c.header);
        EXPECT_EQ(page.width, c.page.width);
        EXPECT_EQ(page.height, c.page.height);
        EXPECT_EQ(page.origin, c.page.origin);
        EXPECT_EQ(page.shiftX, c.page.shiftX);
        EXPECT_EQ(page.shiftY, c.page.shiftY);
    }
    unsetenv("PAPERSIZE");
}

}  // namespace
}  // namespace vorrel
