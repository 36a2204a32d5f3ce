// PostScript documents and compressed files through the real Ghostscript (suite names start
// with Ghostscript, as in RealConverter_test.cpp): every page at its own size, EPS content
// cropped whatever the name says, compressed files expanded within their cap, and nothing left
// in the scratch folder whatever happens.
#include <QPdfDocument>
#include <QString>

#include <stdio.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "conversion/ConversionFixture.h"
#include "conversion/IncompleteDocument.h"
#include "conversion/SourceKind.h"
#include "support/PostScript.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using Sizes = std::vector<std::pair<int, int>>;

class GhostscriptDocuments : public test::ConversionTest {
protected:
    GhostScript::TestOverride useRealConverter_{realConverter()};

    static Sizes pageSizes(const fs::path& pdf) {
        QPdfDocument document;
        if (document.load(QString::fromStdString(pdf.string())) != QPdfDocument::Error::None)
            return {};
        Sizes sizes;
        for (int page = 0; page < document.pageCount(); ++page) {
            const QSizeF size = document.pagePointSize(page);
            sizes.emplace_back(qRound(size.width()), qRound(size.height()));
        }
        return sizes;
    }

    // The size of what Ghostscript's bbox device finds painted on the first page of `file`, drawn
    // with `options` before it.
    static std::pair<double, double> inkSize(const fs::path& file, const std::string& options = "") {
        const std::string command = "'" + realConverter().string() +
                                    "' -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox " + options +
                                    " '" + file.string() + "' 2>&1";
        FILE* out = popen(command.c_str(), "r");
        if (!out) return {};
        char line[256];
        double llx = 0, lly = 0, urx = 0, ury = 0;
        bool found = false;
        while (!found && fgets(line, sizeof line, out))
            found = sscanf(line, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &llx, &lly, &urx, &ury) == 4;
        pclose(out);
        return {urx - llx, ury - lly};
    }

    std::vector<std::string> scratchEntries() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry :
             fs::directory_iterator(scratchDirectory(previewFilesDirectory()), error))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(GhostscriptDocuments, EveryPageAtItsSizeAndEpsContentCropped) {
    // The user's paper, which the converter's own environment does not carry.
    setenv("PAPERSIZE", "letter", 1);
    const Sizes threePages = {{300, 500}, {600, 400}, {200, 200}};
    const std::string square = "0 0 1 setrgbcolor 100 100 100 100 rectfill showpage\n";
    const struct {
        const char* name;
        std::string content;
        OutputFormat asked;
        Sizes pages;
    } cases[] = {
        {"three pages.ps", test::ps::threePages(), OutputFormat::PDF, threePages},
        {"three pages.ps.gz", test::ps::gzip(test::ps::threePages()), OutputFormat::PDF,
         threePages},
        {"three pages.ps.bz2", test::ps::bzip2(test::ps::threePages()), OutputFormat::PDF,
         threePages},
        // Transparent Background is about drawings: a document is still a PDF.
        {"three pages, PNG asked.ps", test::ps::threePages(), OutputFormat::PNG, threePages},
        {"no comments.ps", test::ps::withoutComments(), OutputFormat::PDF, {{612, 792}}},
        // Declared media are where pages start; a page's own setpagedevice still wins.
        {"declared media.ps",
         "%!PS-Adobe-3.0\n%%DocumentMedia: (Wide Sheet) 700 300 0 () ()\n%%EndComments\n" +
             square + "<< /PageSize [300 500] >> setpagedevice\n" + square,
         OutputFormat::PDF, {{700, 300}, {300, 500}}},
        // Never cropped to the box, nor cut off where it passes the edge of the paper.
        {"box beyond the paper.ps",
         "%!PS-Adobe-3.0\n%%BoundingBox: 100 100 1000 700\n%%EndComments\n" + square,
         OutputFormat::PDF, {{1224, 792}}},
        // A4 as dvips boxes it, a paper by name, a box that grazes the paper's edges.
        {"dvips A4.ps",
         "%!PS-Adobe-2.0\n%%BoundingBox: 0 0 596 842\n%%EndComments\n" + square,
         OutputFormat::PDF, {{595, 842}}},
        {"named A4.ps",
         "%!PS-Adobe-2.0\n%%BoundingBox: 0 0 400 842\n%%PaperSize: A4\n%%EndComments\n" +
             square,
         OutputFormat::PDF, {{595, 842}}},
        {"grazing letter.ps",
         "%!PS-Adobe-3.0\n%%BoundingBox: -4 -4 616 796\n%%EndComments\n" + square,
         OutputFormat::PDF, {{612, 792}}},
        // Landscape pages are turned for the viewer, unless the document sized them so itself
        // or a page says otherwise.
        {"landscape.ps", "%!PS-Adobe-3.0\n%%Orientation: Landscape\n%%EndComments\n" + square,
         OutputFormat::PDF, {{792, 612}}},
        {"landscape pages.ps",
         "%!PS-Adobe-3.0\n%%Orientation: Landscape\n%%Pages: 3\n%%EndComments\n"
         "%%Page: 1 1\n" + square + "%%Page: 2 2\n%%PageOrientation: Portrait\n" + square +
             "%%Page: 3 3\n<< /PageSize [842 595] >> setpagedevice\n" + square,
         OutputFormat::PDF, {{792, 612}, {612, 792}, {842, 595}}},
        {"one page seascape.ps",
         "%!PS-Adobe-3.0\n%%Pages: 2\n%%EndComments\n%%Page: 1 1\n" + square +
             "%%Page: 2 2\n%%PageOrientation: Seascape\n" + square,
         OutputFormat::PDF, {{612, 792}, {792, 612}}},
        {"eps inside.ps", test::ps::epsInside(), OutputFormat::PDF, {{50, 30}}},
        {"eps inside.eps.bz2", test::ps::bzip2(test::ps::epsInside()), OutputFormat::PDF,
         {{50, 30}}},
        {"eps inside, no name.ps.gz", test::ps::gzip(test::ps::epsInside()), OutputFormat::PDF,
         {{50, 30}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GhostScript conversion(source(c.name, c.content), c.asked, 72);
        ASSERT_EQ(conversion.outputFormat, OutputFormat::PDF);
        EXPECT_EQ(pageSizes(conversion.run()), c.pages);
        EXPECT_EQ(scratchEntries(), std::vector<std::string>{});
    }
    unsetenv("PAPERSIZE");
}

TEST_F(GhostscriptDocuments, DrawingLeftOfAndBelowTheOriginIsNotCut) {
    setenv("PAPERSIZE", "a4", 1);
    const struct {
        const char* name;
        const char* box;
        const char* ink;  // x y width height
        Sizes pages;
    } cases[] = {
        {"beyond every paper.ps", "-319 -124 931 916", "-319 -124 1250 1040", {{1250, 1040}}},
        {"on the paper once moved.ps", "-60 -30 500 700", "-60 -30 560 730", {{595, 842}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = source(c.name, std::string("%!PS-Adobe-3.0\n%%BoundingBox: ") +
                                                 c.box + "\n%%EndComments\n0 0 1 setrgbcolor " +
                                                 c.ink + " rectfill showpage\n");
        const GhostScript conversion(file, OutputFormat::PDF, 72);
        const fs::path pdf = conversion.run();
        EXPECT_EQ(pageSizes(pdf), c.pages);
        // All of it, as Ghostscript paints it on a page large enough, shifted well clear.
        const auto painted = inkSize(file,
                                     "-dDEVICEWIDTHPOINTS=4000 -dDEVICEHEIGHTPOINTS=4000 -c '<< "
                                     "/BeginPage { pop 1000 1000 translate } >> setpagedevice' -f");
        const auto shown = inkSize(pdf);
        EXPECT_NEAR(shown.first, painted.first, 1.5);
        EXPECT_NEAR(shown.second, painted.second, 1.5);
    }
    unsetenv("PAPERSIZE");
}

// The pages reached before a document fails, or before its compressed file ends, are kept in a
// PDF that says it is incomplete; a document that fails before its first page fails.
TEST_F(GhostscriptDocuments, PagesReachedArePagesKeptInAPdfMarkedIncomplete) {
    std::vector<std::pair<int, int>> sizes(40, {200, 300});
    const std::string forty = test::ps::document(sizes);
    const std::string threeFailing = test::ps::threePages().insert(
        test::ps::threePages().find("%%Page: 3 3"), "%%Page: 3 3\nnosuchoperator\n");
    const std::string compressed = test::ps::gzip(forty);
    const struct {
        const char* name;
        std::string content;
        int pages;  // 0: some, fewer than 40
        int failedPage;
        const char* error;
    } cases[] = {
        {"page 3 fails.ps", threeFailing, 2, 3, "undefined"},
        {"page 3 fails.ps.gz", test::ps::gzip(threeFailing), 2, 3, "undefined"},
        {"cut in the middle.ps.gz", compressed.substr(0, compressed.size() / 2), 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GhostScript conversion(source(c.name, c.content), OutputFormat::PDF, 72);
        const fs::path pdf = conversion.run();
        const int pages = static_cast<int>(pageSizes(pdf).size());
        const auto mark = IncompleteDocument::read(pdf);
        ASSERT_TRUE(mark.has_value());
        if (c.pages) {
            EXPECT_EQ(pages, c.pages);
            EXPECT_EQ(mark->failedPage, c.failedPage);
            EXPECT_EQ(mark->error, c.error);
        } else {
            EXPECT_GT(pages, 0);
            EXPECT_LT(pages, 40);
            EXPECT_EQ(mark->failedPage, pages + 1);
        }
        EXPECT_EQ(pdf, conversion.outputFileURL);
        EXPECT_EQ(scratchEntries(), std::vector<std::string>{});
    }
    // A whole document carries no mark.
    const GhostScript whole(source("whole.ps", forty), OutputFormat::PDF, 72);
    EXPECT_FALSE(IncompleteDocument::read(whole.run()).has_value());
}

TEST_F(GhostscriptDocuments, BadCompressedFilesFailWithTheirTextAndLeaveNothing) {
    const std::string document = test::ps::threePages();
    const std::string compressed = test::ps::gzip(document);
    // A first page behind 64 KiB of comments that do not pack: a quarter of the stream holds
    // no whole page.
    std::string noise = "%!PS-Adobe-3.0\n";
    unsigned state = 1;
    for (int line = 0; line < 1024; ++line) {
        noise += "% ";
        for (int i = 0; i < 62; ++i) {
            state = state * 1103515245 + 12345;
            noise += "0123456789abcdef"[(state >> 16) & 15];
        }
        noise += "\n";
    }
    const std::string slowFirstPage =
        test::ps::gzip(noise + "100 100 100 100 rectfill showpage\n");
    // 2 MiB of spaces pack into a few kilobytes: far more than 200 times their size.
    const std::string bomb = test::ps::gzip(std::string(2 << 20, ' '));
    const struct {
        const char* name;
        std::string content;
        std::string error;
    } cases[] = {
        {"bomb.ps.gz", bomb, DecompressionError::tooLarge(200 * bomb.size()).what()},
        // Cut within the gzip header: not one byte of the document comes out.
        {"cut short.ps.gz", compressed.substr(0, 8), "The compressed file is damaged."},
        // Cut where no page is whole yet.
        {"cut in page 1.ps.gz", slowFirstPage.substr(0, slowFirstPage.size() / 4),
         "The compressed file is damaged."},
        {"not postscript.ps.gz", test::ps::gzip("Just some notes, not PostScript at all.\n"),
         "Ghostscript exited with status 1."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GhostScript conversion(source(c.name, c.content), OutputFormat::PDF, 72);
        try {
            conversion.run();
            ADD_FAILURE() << "converted";
        } catch (const std::exception& error) {
            EXPECT_EQ(error.what(), c.error);
        }
        EXPECT_EQ(scratchEntries(), std::vector<std::string>{});
        EXPECT_EQ(cacheEntries(), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace vorrel
