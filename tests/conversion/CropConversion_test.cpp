// Conversions cropped to the box an EPS file's comments name, through the real Ghostscript (the
// suites are named Ghostscript*). Each kind of file is converted to PDF and PNG and checked
// against its box: the page size, and the corner squares drawn just inside the box whole and in
// their corners. The same file through the plain arguments is the control: where it shows the
// fault, the checks are seen to catch it.
#include <QImage>
#include <QPdfDocument>

#include <cmath>
#include <optional>
#include <sstream>

#include "platform/ChildProcess.h"
#include "conversion/ConversionFixture.h"
#include "conversion/DscHeader.h"
#include "support/Eps.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;

constexpr double kScale = 200 / 72.0;  // pixels per point at 200 dpi

std::string boxLine(const BoundingBox& box) {
    std::ostringstream out;
    out << "%%BoundingBox: " << box.llx << ' ' << box.lly << ' ' << box.urx << ' ' << box.ury;
    return out.str() + "\n";
}

std::string corners(const BoundingBox& box) {
    return test::eps::cornerSquares(box.llx, box.lly, box.urx, box.ury);
}

// What is wrong with the corner squares in `image`, the box at kScale; "" when each is in its
// corner and whole (sampled near its outer and its inner corner).
std::string cornerProblem(const QImage& image) {
    const int right = image.width() - 1, bottom = image.height() - 1;
    const struct {
        QColor colour;
        int x, y, dx, dy;  // the outer corner, and which way is inside
    } cornerList[] = {{Qt::blue, 0, bottom, 1, -1},
                      {Qt::red, right, bottom, -1, -1},
                      {Qt::green, 0, 0, 1, 1},
                      {Qt::black, right, 0, -1, 1}};
    for (const auto& c : cornerList) {
        for (int depth : {3, static_cast<int>(test::eps::kCornerSide * kScale) - 4}) {
            const QColor found = image.pixelColor(c.x + c.dx * depth, c.y + c.dy * depth);
            if (found.alpha() < 200 || std::abs(found.red() - c.colour.red()) > 60 ||
                std::abs(found.green() - c.colour.green()) > 60 ||
                std::abs(found.blue() - c.colour.blue()) > 60)
                return c.colour.name().toStdString() + " corner is " + found.name().toStdString();
        }
    }
    return {};
}

// What is wrong with a converted file that should show the corners of `box` on each of `pages`
// pages (a PNG: its first page); "" when nothing is.
std::string problem(const fs::path& output, OutputFormat format, const BoundingBox& box,
                    int pages) {
    const QString name = QString::fromStdString(output.string());
    std::ostringstream size;
    const auto wrongSize = [&](QSizeF found, double scale, double tolerance) {
        size << found.width() << " x " << found.height();
        return std::abs(found.width() - box.width() * scale) > tolerance ||
               std::abs(found.height() - box.height() * scale) > tolerance;
    };
    if (format == OutputFormat::PNG) {
        const QImage image(name);
        if (image.isNull() || wrongSize(image.size(), kScale, 2)) return "PNG of " + size.str();
        return cornerProblem(image);
    }
    QPdfDocument document;
    if (document.load(name) != QPdfDocument::Error::None || document.pageCount() != pages)
        return std::to_string(document.pageCount()) + " pages";
    for (int page = 0; page < pages; ++page) {
        const QSizeF points = document.pagePointSize(page);
        if (wrongSize(points, 1, 1)) return "a page of " + size.str();
        if (auto corner = cornerProblem(document.render(page, (points * kScale).toSize()));
            !corner.empty())
            return "page " + std::to_string(page + 1) + ": " + corner;
    }
    return {};
}

class GhostscriptCrop : public test::ConversionTest {
protected:
    GhostScript::TestOverride useRealConverter_{realConverter()};

    // The file Ghostscript writes with the plain arguments, or nothing when it fails.
    std::optional<fs::path> plainConversion(const GhostScript& conversion) const {
        const fs::path output =
            home_.root() / ("plain." + std::string(fileExtension(conversion.outputFormat)));
        std::error_code ignored;
        fs::remove(output, ignored);
        platform::ChildProcess gs(realConverter(), conversion.plainArguments(output));
        gs.launch();
        gs.wait();
        if (gs.terminationStatus() != 0 || !fs::exists(output)) return std::nullopt;
        return output;
    }
};

TEST_F(GhostscriptCrop, EveryKindOfHeaderShowsTheDrawingCroppedToItsBox) {
    const std::string epsf = "%!PS-Adobe-3.0 EPSF-3.0\n", notEpsf = "%!PS-Adobe-3.0\n";
    const BoundingBox box{100, 100, 300, 250}, negative{-40.5, -43.25, 41, 43},
        hiRes{0.5, 0.5, 100.5, 80.5};
    const std::string header = epsf + boxLine(box), drawing = corners(box) + "showpage\n";
    const struct Case {
        const char* name;
        std::string document;
        BoundingBox box = {100, 100, 300, 250};
        const char* plainFaults = "PDF PNG";  // where the plain arguments show the fault
        int pages = 1;
    } cases[] = {
        {"first line without EPSF", notEpsf + boxLine(box) + drawing},
        {"first line in capitals", "%!PS-ADOBE-3.0\n" + boxLine(box) + drawing},
        {"first line %!", "%!\n" + boxLine(box) + drawing},
        {"comments before the header line", "% by hand\n%%Creator: me\n" + header + drawing},
        {"comments and %%BeginDocument before the box",
         epsf + "% a remark\n%%BeginDocument: part.eps\n" + boxLine(box) + drawing, box, ""},
        {"box at the end",
         epsf + "%%BoundingBox: (atend)\n" + drawing + "%%Trailer\n" + boxLine(box) + "%%EOF\n"},
        {"box at the end, just before %%Trailer",
         epsf + "%%BoundingBox: (atend)\n" + drawing + boxLine(box) + "%%Trailer\n%%EOF\n"},
        {"reals and a negative origin",
         notEpsf + boxLine(negative) + corners(negative) + "showpage\n", negative},
        {"hi-res box beside the integer one",
         epsf + "%%BoundingBox: 0 0 102 82\n%%HiResBoundingBox: 0.5 0.5 100.5 80.5\n" +
             corners(hiRes) + "showpage\n",
         hiRes, ""},
        {"letter procedure", header + "letter\n" + drawing},
        {"a4 procedure", header + "a4\n" + drawing},
        {"own page size", header + "<< /PageSize [612 792] >> setpagedevice\n" + drawing},
        {"DOS-binary with a page size of its own",
         test::eps::dosBinary(header + "letter\n" + drawing)},
        {"no showpage", header + corners(box), box, ""},
        {"no showpage, first line without EPSF", notEpsf + boxLine(box) + corners(box)},
        {"two pages", header + drawing + drawing, box, "PDF", 2},
        {"operators Ghostscript 10 removed",
         header +
             "0 0 1 setrgbcolor /Normal .setblendmode 0.5 .setopacityalpha\n"
             "120 120 160 110 rectfill 1 .setopacityalpha\n"
             "0.5 .setshapealpha 150 150 20 20 rectfill 1 .setshapealpha\n" +
             drawing},
    };
    for (const auto& c : cases) {
        const fs::path file = source(std::string(c.name) + ".eps", c.document);
        for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::string(logWord(format)));
            const GhostScript conversion(file, format, 200);
            try {
                EXPECT_EQ(problem(conversion.run(), format, c.box, c.pages), "");
            } catch (const std::exception& error) {
                ADD_FAILURE() << error.what();
            }
            const auto plain = plainConversion(conversion);
            const std::string plainProblem =
                plain ? problem(*plain, format, c.box, c.pages) : "no output";
            EXPECT_EQ(
                !plainProblem.empty(),
                std::string_view(c.plainFaults).find(logWord(format)) != std::string_view::npos)
                << plainProblem;
        }
    }
}

TEST_F(GhostscriptCrop, UnusableBoxesKeepThePlainArguments) {
    const std::string art = test::eps::lineArt(), drawing = art.substr(art.find("%%EndComments"));
    const std::string cases[] = {
        test::eps::withoutBoundingBox(),
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 0 0\n" + drawing,
        "%!PS-Adobe-3.0\n%%BoundingBox: 144 0 0 144\n" + drawing,
        "%!PS-Adobe-3.0\n%%BoundingBox: -52429 -52429 52429 52429\n" + drawing,
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n" + drawing,
    };
    for (const auto& document : cases) {
        SCOPED_TRACE(document.substr(0, document.find("%%EndComments")));
        const fs::path file = source("unusable.eps", document);
        const GhostScript pdf(file, OutputFormat::PDF, 200), png(file, OutputFormat::PNG, 200);
        EXPECT_EQ(pdf.arguments("out.pdf"), pdf.plainArguments("out.pdf"));
        EXPECT_EQ(png.arguments("out.png"), png.plainArguments("out.png"));
        // And so the same outcome: the same PNG, or the same failure.
        const auto plain = plainConversion(png);
        try {
            const fs::path output = png.run();
            ASSERT_TRUE(plain.has_value());
            EXPECT_EQ(test::readFile(output), test::readFile(*plain));
        } catch (const ConversionError& error) {
            EXPECT_FALSE(plain.has_value()) << error.what();
        }
    }
}

}  // namespace
}  // namespace vorrel
