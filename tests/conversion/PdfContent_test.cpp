// How pages are found in what pdfwrite writes: their boxes and contents, plain, compressed,
// in parts or cut short; what is not followed is passed over, never read past its end.
#include "conversion/PdfContent.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace vorrel::pdf {
namespace {

std::string deflated(const std::string& text) {
    uLongf size = compressBound(text.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(text.data()), text.size());
    out.resize(size);
    return out;
}

std::string object(int number, const std::string& dictionary, const std::string& stream = "") {
    std::string text = std::to_string(number) + " 0 obj\n<<" + dictionary + ">>\n";
    if (!stream.empty()) text += "stream\n" + stream + "\nendstream\n";
    return text + "endobj\n";
}

std::vector<Page> pagesOf(const std::string& pdf, int most = 16) {
    std::vector<Page> pages;
    forEachPage(pdf, most, 1 << 20, [&](const Page& page) {
        pages.push_back(page);
        return false;
    });
    return pages;
}

TEST(PdfContent, PagesComeWithTheirBoxAndJoinedContents) {
    const std::string page = "/Type/Page/MediaBox [0 0 200 100]/Contents ";
    const struct {
        const char* name;
        std::string pdf;
        std::vector<std::string> contents;  // one per page found
    } cases[] = {
        {"plain", object(4, page + "5 0 R") + object(5, "/Length 3", "1 g"), {"1 g\n"}},
        {"compressed", object(4, page + "5 0 R") + object(5, "/Filter /FlateDecode", deflated("0 0 m")),
         {"0 0 m\n"}},
        {"in two parts", object(4, page + "[5 0 R 6 0 R]") + object(5, "", "q") + object(6, "", "Q"),
         {"q\nQ\n"}},
        {"other filter", object(4, page + "5 0 R") + object(5, "/Filter /LZWDecode", "x"), {}},
        {"crop box", object(4, page + "5 0 R/CropBox [0 0 9 9]") + object(5, "", "q"), {}},
        {"no such object", object(4, page + "15 0 R") + object(5, "", "q"), {}},
        {"the page tree", object(3, "/Type/Pages/Kids [4 0 R]/MediaBox [0 0 1 1]/Contents 5 0 R") +
                              object(5, "", "q"),
         {}},
    };
    for (const auto& c : cases) {
        const std::vector<Page> pages = pagesOf("%PDF-1.7\n" + c.pdf + "trailer\n");
        std::vector<std::string> contents;
        for (const Page& found : pages) {
            contents.push_back(found.content);
            EXPECT_EQ(found.urx - found.llx, 200) << c.name;
            EXPECT_EQ(found.ury - found.lly, 100) << c.name;
        }
        EXPECT_EQ(contents, c.contents) << c.name;
    }
}

TEST(PdfContent, AStreamCutShortGivesWhatItHolds) {
    std::string drawing;
    for (int i = 0; i < 500; ++i) drawing += std::to_string(i) + " 0 m " + std::to_string(i) + " 9 l S\n";
    const std::string cut = deflated(drawing).substr(0, deflated(drawing).size() / 2);
    const auto pages = pagesOf("%PDF-1.7\n" +
                               object(4, "/Type/Page/MediaBox [0 0 9 9]/Contents 5 0 R") +
                               object(5, "/Filter /FlateDecode", cut));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_GT(pages[0].content.size(), 100u);
    EXPECT_LT(pages[0].content.size(), drawing.size());
    EXPECT_EQ(drawing.compare(0, pages[0].content.size() - 1, pages[0].content, 0,
                              pages[0].content.size() - 1),
              0);
}

TEST(PdfContent, StopsWhereTheVisitSaysAndAfterTheLastPageLooked) {
    std::string pdf = "%PDF-1.7\n";
    for (int i = 0; i < 20; ++i)
        pdf += object(100 + 2 * i, "/Type/Page/MediaBox [0 0 10 10]/Contents " +
                                       std::to_string(101 + 2 * i) + " 0 R") +
               object(101 + 2 * i, "", std::to_string(i) + " w");
    EXPECT_EQ(pagesOf(pdf).size(), 16u);
    int visited = 0;
    EXPECT_TRUE(forEachPage(pdf, 16, 1 << 20, [&](const Page&) { return ++visited == 3; }));
    EXPECT_EQ(visited, 3);
}

}  // namespace
}  // namespace vorrel::pdf
