// Thumbnail::write() in this process, where its time limit can be shortened: an endless document
// ends within it, a file the caller made is replaced, a failure leaves it alone, and the
// leftovers of killed runs are swept without touching a live one's.
#include "thumbnailer/Thumbnail.h"

#include <QImage>
#include <QPointF>

#include <fstream>

#include "cache/StaleFiles.h"
#include "platform/FileTimes.h"
#include "conversion/PaperSize.h"
#include "conversion/ConversionError.h"
#include "support/PostScript.h"
#include "thumbnailer/ThumbnailerFixture.h"

namespace vorrel::test {
namespace {

TEST_F(ThumbnailerTest, EndlessDocumentEndsWithinTheShortenedLimit) {
    const fs::path input = document("endless.eps", eps::loopingForever());
    const Thumbnail thumbnail(input, 128);
    try {
        thumbnail.write(out_ / "t.png",
                        {.converter = kConverter, .timeLimit = 2s, .gracePeriod = 500ms});
        FAIL() << "an endless document made a thumbnail";
    } catch (const Thumbnail::TimedOut& error) {
        EXPECT_STREQ(error.what(), "Ghostscript did not finish within 2 seconds.");
    }
    EXPECT_EQ(entries(out_), std::vector<std::string>{});
    EXPECT_TRUE(processesMentioning(converterMark()).empty());
}

// Some file managers create the output file before they run a thumbnailer.
TEST_F(ThumbnailerTest, ReplacesTheCallersFileOnlyWithAWholeThumbnail) {
    const fs::path output = out_ / "made by the caller.png";
    std::ofstream(output) << "placeholder";
    EXPECT_THROW(Thumbnail(document("empty.eps", ""), 64).write(output, {.converter = kConverter}),
                 ConversionError);
    EXPECT_THROW(Thumbnail(document("bad.eps", eps::readingFile("/etc/passwd")), 64)
                     .write(output, {.converter = kConverter}),
                 ConversionError);
    EXPECT_EQ(readFile(output), "placeholder");

    Thumbnail(document("fine.eps", eps::lineArt()), 64).write(output, {.converter = kConverter});
    EXPECT_EQ(thumbnailProblem(output, 64, {0, 0, 144, 144}), "");
    EXPECT_EQ(entries(out_), std::vector<std::string>{output.filename().string()});
}

// Documents show their first page whole, at the size it asks for; compressed files and a .ps
// that is EPS inside are drawn as their content says. A document that would run on after its
// first page ends there.
TEST_F(ThumbnailerTest, DocumentsShowTheirFirstPageUncropped) {
    const platform::PaperSize paper = platform::defaultPaperSize();
    const struct {
        const char* name;
        std::string content;
        BoundingBox page;
    } cases[] = {
        {"three pages.ps", ps::threePages(), {0, 0, 300, 500}},
        {"three pages.ps.gz", ps::gzip(ps::threePages()), {0, 0, 300, 500}},
        {"endless after page 1.ps", ps::firstPageThenLoop(), {0, 0, 300, 500}},
        {"no comments.ps", ps::withoutComments(), {0, 0, paper.width, paper.height}},
        {"eps inside.ps", ps::epsInside(), {10, 10, 60, 40}},
        {"eps inside.eps.bz2", ps::bzip2(ps::epsInside()), {10, 10, 60, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path output = out_ / (std::string(c.name) + ".png");
        Thumbnail(document(c.name, c.content), 128)
            .write(output, {.converter = kConverter, .timeLimit = 10s});
        EXPECT_EQ(thumbnailProblem(output, 128, c.page), "");
    }
}

// A landscape document's first page is turned as a viewer turns it (clockwise: what lies at
// the bottom left of the portrait page comes to the top left), and a drawing reaching left of
// and below the origin is moved onto the page, whole.
TEST_F(ThumbnailerTest, TurnedAndMovedFirstPagesShowAllOfTheirDrawing) {
    const platform::PaperSize paper = platform::defaultPaperSize();
    const std::string corner = "0 0 1 setrgbcolor 0 0 100 100 rectfill showpage\n";
    const struct {
        const char* name;
        std::string content;
        BoundingBox page;
        QPointF inked, blank;  // fractions of the picture's width and height, from its top left
    } cases[] = {
        {"landscape.ps", "%!PS-Adobe-3.0\n%%Orientation: Landscape\n%%EndComments\n" + corner,
         {0, 0, paper.height, paper.width}, {0.02, 0.02}, {0.02, 0.98}},
        {"seascape.ps", "%!PS-Adobe-3.0\n%%Orientation: Seascape\n%%EndComments\n" + corner,
         {0, 0, paper.height, paper.width}, {0.98, 0.98}, {0.02, 0.98}},
        {"portrait.ps", "%!PS-Adobe-3.0\n%%Orientation: Portrait\n%%EndComments\n" + corner,
         {0, 0, paper.width, paper.height}, {0.02, 0.98}, {0.02, 0.02}},
        {"negative corners.ps",
         "%!PS-Adobe-3.0\n%%BoundingBox: -319 -124 931 916\n%%EndComments\n"
         "0 0 1 setrgbcolor -319 -124 1250 1040 rectfill 1 setgray -319 -124 40 40 rectfill "
         "showpage\n",
         {0, 0, 1250, 1040}, {0.98, 0.02}, {0.01, 0.99}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path output = out_ / (std::string(c.name) + ".png");
        Thumbnail(document(c.name, c.content), 128)
            .write(output, {.converter = kConverter, .timeLimit = 10s});
        EXPECT_EQ(thumbnailProblem(output, 128, c.page), "");
        const QImage image(QString::fromStdString(output.string()));
        const auto at = [&image](QPointF where) {
            return image.pixelColor(static_cast<int>(where.x() * (image.width() - 1)),
                                    static_cast<int>(where.y() * (image.height() - 1)));
        };
        EXPECT_LT(at(c.inked).red(), 100);
        EXPECT_EQ(at(c.blank), QColor(Qt::white));
    }
}

// A box that misses the ink gives way to what the file paints; white ink is drawn on a grey
// backdrop at its box (it would vanish on the white page).
TEST_F(ThumbnailerTest, WrongBoxesAndWhiteInkStillMakeThumbnails) {
    const struct {
        const char* name;
        std::string content;
        BoundingBox page;
        QColor corner;
    } cases[] = {
        {"box off the ink.eps",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\n"
         "0 0 1 setrgbcolor 6 0 77 15 rectfill showpage\n%%Trailer\n"
         "%%BoundingBox: 0 766 148 791\n",
         {6, 0, 83, 15}, Qt::blue},
        {"white on white.eps",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 144\n"
         "1 setgray 20 20 104 104 rectfill showpage\n",
         {0, 0, 144, 144}, QColor(128, 128, 128)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path output = out_ / (std::string(c.name) + ".png");
        Thumbnail(document(c.name, c.content), 128)
            .write(output, {.converter = kConverter, .timeLimit = 10s});
        EXPECT_EQ(thumbnailProblem(output, 128, c.page), "");
        const QImage image(QString::fromStdString(output.string()));
        const QColor corner = image.pixelColor(1, 1);
        EXPECT_NEAR(corner.red(), c.corner.red(), 10);
        EXPECT_NEAR(corner.blue(), c.corner.blue(), 10);
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2),
                  c.corner == Qt::blue ? QColor(Qt::blue) : QColor(Qt::white));
    }
}

// A thumbnailer killed with SIGKILL leaves its private folder; the next run beside it removes
// it once it is older than any live run can be (twice the time limit and grace period).
TEST_F(ThumbnailerTest, LeftoversOfKilledRunsAreSweptOthersKept) {
    const Thumbnail::Options options{
        .converter = kConverter, .timeLimit = 300ms, .gracePeriod = 200ms};
    folders_.write("thumbnails/.vorrel-thumbnailer-killed/thumbnail.png", "half");
    StaleAgeOverride aged([](const std::filesystem::path& path) -> std::optional<platform::Date> {
        if (path.filename() == ".vorrel-thumbnailer-killed")
            return std::chrono::system_clock::now() - std::chrono::hours(1);
        return platform::creationDate(path);
    });
    folders_.write("thumbnails/.vorrel-thumbnailer-running/thumbnail.png", "growing");
    folders_.write("thumbnails/.hidden by someone else", "");
    // The sweep comes first, also for a run that fails at once.
    EXPECT_THROW(Thumbnail(document("empty.eps", ""), 64).write(out_ / "t.png", options),
                 ConversionError);
    EXPECT_EQ(entries(out_),
              (std::vector<std::string>{".hidden by someone else", ".vorrel-thumbnailer-running"}));
}

}  // namespace
}  // namespace vorrel::test
