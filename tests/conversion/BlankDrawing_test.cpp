// Drawings that come out blank, through the real Ghostscript: a box that misses the ink is
// replaced by the painted area, white ink gets a backdrop, and only a drawing that paints
// nothing stays blank. The file converted again keeps the cache name.
#include <QImage>
#include <QPdfDocument>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>

#include "conversion/ConversionFixture.h"
#include "conversion/InkProof.h"
#include "conversion/PaintedArea.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;

class GhostscriptBlankDrawings : public test::ConversionTest {
protected:
    GhostScript::TestOverride useRealConverter_{realConverter()};

    // The first page of a converted file, and its size in points.
    static QImage firstPage(const fs::path& file, OutputFormat format, QSizeF* points) {
        if (format == OutputFormat::PNG) {
            const QImage image(QString::fromStdString(file.string()));
            *points = QSizeF(image.size()) * 72.0 / 200;
            return image;
        }
        QPdfDocument document;
        if (document.load(QString::fromStdString(file.string())) != QPdfDocument::Error::None)
            return {};
        *points = document.pagePointSize(0);
        return document.render(0, points->toSize());
    }
};

TEST_F(GhostscriptBlankDrawings, MissingBoxesAreCroppedToTheInkAndWhiteInkGetsABackdrop) {
    const std::string blueInk = "0 0 1 setrgbcolor 6 0 77 15 rectfill showpage\n";
    const struct {
        const char* name;
        std::string content;
        QSizeF page;             // nothing: no second conversion
        bool grey = false;       // the page's corner shows the backdrop
        const char* logged = "";
    } cases[] = {
        {"trailer box off the ink.eps",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\n" + blueInk +
             "%%Trailer\n%%BoundingBox: 0 766 148 791\n%%EOF\n",
         {77, 15}, false, "misses what the file paints: cropped to the painted area 6 0 83 15"},
        {"hi-res box off the ink.eps",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 700 100 800\n"
         "%%HiResBoundingBox: 0 700.5 100 799.5\n%%EndComments\n" + blueInk,
         {77, 15}, false, "cropped to the painted area 6 0 83 15"},
        {"white logo.eps",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n%%EndComments\n"
         "1 setgray 10 10 80 30 rectfill 0.99 setgray 40 15 20 20 rectfill showpage\n",
         {100, 50}, true, "Only white painted within the bounding box 0 0 100 50"},
        {"nothing at all.eps",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n%%EndComments\nshowpage\n",
         {}},
        {"a box, no ink.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n"
                              "%%EndComments\nnewpath 10 10 moveto 20 20 lineto showpage\n",
         {}},
    };
    for (const OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (format == OutputFormat::PNG ? " PNG" : " PDF"));
            log_->clear();
            const GhostScript conversion(source(c.name, c.content), format, 200);
            const fs::path blank = conversion.run();
            // Blank as drawn, so its contents must not prove ink: pdfwrite leaves out what
            // lies off the page, and white is no ink.
            if (format == OutputFormat::PDF) {
                EXPECT_FALSE(provesInk(blank, 512));
            }
            const auto again = conversion.convertBlankAgain(blank, {});
            ASSERT_EQ(again.has_value(), !c.page.isEmpty());
            if (!again) {
                EXPECT_EQ(debugMessages("run()"), std::vector<std::string>{"Nothing painted at all"});
                fs::remove(blank);
                continue;
            }
            EXPECT_EQ(*again, conversion.outputFileURL);  // the same cache name
            if (format == OutputFormat::PDF) {
                EXPECT_TRUE(provesInk(*again, 512));  // ink or backdrop
            }
            QSizeF points;
            const QImage page = firstPage(*again, format, &points);
            ASSERT_FALSE(page.isNull());
            EXPECT_NEAR(points.width(), c.page.width(), 1);
            EXPECT_NEAR(points.height(), c.page.height(), 1);
            const QColor corner = page.pixelColor(1, 1);
            if (c.grey) {
                EXPECT_NEAR(corner.red(), 128, 10);
                EXPECT_EQ(corner.alpha(), 255);
                EXPECT_GE(page.pixelColor(page.width() / 2, page.height() / 2).red(), 250);
            } else {
                EXPECT_LT(corner.red(), 100);  // the blue ink fills the page
            }
            const auto messages = debugMessages("run()");
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find(c.logged), std::string::npos) << messages[0];
            EXPECT_EQ(cacheEntries().size(), 1u);
            fs::remove(*again);
        }
    }
}

}  // namespace
}  // namespace vorrel
