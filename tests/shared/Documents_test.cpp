// PostScript documents and compressed files through the real Ghostscript (suite names start
// with Ghostscript, as in RealConverter_test.cpp): every page at its own size, EPS content
// cropped whatever the name says, compressed files expanded within their cap, and nothing left
// in the scratch folder whatever happens.
#include <QPdfDocument>
#include <QString>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "shared/ConversionFixture.h"
#include "shared/SourceKind.h"
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
    const Sizes threePages = {{300, 500}, {600, 400}, {200, 200}};
    const struct {
        const char* name;
        std::string content;
        OutputFormat asked;
        Sizes pages;  // empty: one page larger than the drawing (the default paper)
    } cases[] = {
        {"three pages.ps", test::ps::threePages(), OutputFormat::PDF, threePages},
        {"three pages.ps.gz", test::ps::gzip(test::ps::threePages()), OutputFormat::PDF,
         threePages},
        {"three pages.ps.bz2", test::ps::bzip2(test::ps::threePages()), OutputFormat::PDF,
         threePages},
        // Transparent Background is about drawings: a document is still a PDF.
        {"three pages, PNG asked.ps", test::ps::threePages(), OutputFormat::PNG, threePages},
        {"no comments.ps", test::ps::withoutComments(), OutputFormat::PDF, {}},
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
        const Sizes sizes = pageSizes(conversion.run());
        if (c.pages.empty()) {
            ASSERT_EQ(sizes.size(), 1u);
            EXPECT_GT(sizes[0].second, 500);  // a whole sheet of paper, not the 100-point square
        } else {
            EXPECT_EQ(sizes, c.pages);
        }
        EXPECT_EQ(scratchEntries(), std::vector<std::string>{});
    }
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
