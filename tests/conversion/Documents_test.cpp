// PostScript documents and compressed files through the real Ghostscript (suite names start
// with Ghostscript, as in RealConverter_test.cpp): every page at its own size, EPS content
// cropped whatever the name says, compressed files expanded within their cap, and nothing left
// in the scratch folder whatever happens.
#include <QPdfDocument>
#include <QString>

#include <stdlib.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "conversion/ConversionFixture.h"
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

TEST_F(GhostscriptDocuments, BadCompressedFilesFailWithTheirTextAndLeaveNothing) {
    const std::string document = test::ps::threePages();
    const std::string compressed = test::ps::gzip(document);
    // 2 MiB of spaces pack into a few kilobytes: far more than 200 times their size.
    const std::string bomb = test::ps::gzip(std::string(2 << 20, ' '));
    const struct {
        const char* name;
        std::string content;
        std::string error;
    } cases[] = {
        {"bomb.ps.gz", bomb, DecompressionError::tooLarge(200 * bomb.size()).what()},
        {"cut short.ps.gz", compressed.substr(0, compressed.size() / 2),
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
