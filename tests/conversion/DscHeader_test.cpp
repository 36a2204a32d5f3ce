// The DSC header reader on awkward headers, and which boxes a preview may be cropped to.
#include "conversion/DscHeader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <optional>
#include <string>

#include "support/Eps.h"
#include "support/TempHome.h"

namespace vorrel {

void PrintTo(const BoundingBox& box, std::ostream* out) {
    *out << '[' << box.llx << ' ' << box.lly << ' ' << box.urx << ' ' << box.ury << ']';
}

void PrintTo(const MediaSize& size, std::ostream* out) {
    *out << size.width << " x " << size.height;
}

namespace {

using Box = std::optional<BoundingBox>;

// The bytes of a literal, NULs included.
template <std::size_t N>
std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

const std::string kEpsf = "%!PS-Adobe-3.0 EPSF-3.0\n";
const std::string kBody = "0 0 10 10 rectfill\nshowpage\n";
const BoundingBox kSquare{0, 0, 100, 100};

TEST(DscHeader, ReadsTheBoxesOfAwkwardHeaders) {
    const struct Case {
        const char* name;
        std::string content;
        Box box, hiRes;
    } cases[] = {
        {"CR LF, split over %%+",
         "%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 0 0\r\n%%+ 100 100\r\n", kSquare},
        {"CR", "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: x\r%%BoundingBox: 0 0 100 100\r" + kBody,
         kSquare},
        {"tabs, no space", kEpsf + "%%BoundingBox:0\t0 100\t100\t\n", kSquare},
        {"reals, negative origin, signs", kEpsf + "%%BoundingBox: -40.5 -43 +41 4.3e1\n",
         BoundingBox{-40.5, -43, 41, 43}},
        {"hi-res beside the integer box",
         kEpsf + "%%HiResBoundingBox: 0.25 0.5 99.75 99.5\n%%BoundingBox: 0 0 100 100\n", kSquare,
         BoundingBox{0.25, 0.5, 99.75, 99.5}},
        {"comments before the header line, no EPSF",
         "% by hand\n%%Creator: me\n\n%!PS-Adobe-3.0\n%%BoundingBox: 0 0 100 100\n", kSquare},
        {"%%BeginDocument before the box; only the first box counts",
         kEpsf + "%%BeginDocument: in.eps\n%%BoundingBox: 0 0 100 100\n%%BoundingBox: 1 1 2 2\n",
         kSquare},
        {"code ends the header", kEpsf + "newpath\n%%BoundingBox: 0 0 100 100\n"},
        {"(atend): the last box after %%Trailer",
         kEpsf + "%%BoundingBox: (atend)\n%%HiResBoundingBox:(atend)\n" + kBody +
             "%%BoundingBox: 9 9 9 9\n%%Trailer\n%%BoundingBox: 0 0 100 100\n"
             "%%HiResBoundingBox: 0.5\n%%+ 0.5 99.5 99.5\n%%EOF\n",
         kSquare, BoundingBox{0.5, 0.5, 99.5, 99.5}},
        {"(atend), the box just before %%Trailer",
         kEpsf + "%%BoundingBox: (atend)\n" + kBody +
             "%%BoundingBox: 9 9 9 9\n%%BoundingBox: 0 0 100 100\n%%Trailer\n%%EOF\n",
         kSquare},
        {"(atend), no box at the end", kEpsf + "%%BoundingBox: (atend)\n" + kBody + "%%Trailer\n"},
        {"not four numbers", kEpsf + "%%BoundingBox: 0 0 100\n%%HiResBoundingBox: 0 0 nan inf\n"},
        {"NUL inside", kEpsf + bytes("%%BoundingBox: 0 0 1") + '\0' + "0 100\n"},
        {"binary garbage", bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\n%%BoundingBox: 0 0 1 1\n")},
        {"DOS-binary", test::eps::dosBinary(kEpsf + "%%BoundingBox: 0 0 100 100\n"), kSquare},
        {"DOS-binary, trailer after the section",
         test::eps::dosBinary(kEpsf + "%%BoundingBox: (atend)\n" + kBody) +
             "%%Trailer\n%%BoundingBox: 0 0 100 100\n"},
        {"DOS-binary header cut short", bytes("\xC5\xD0\xD3\xC6\x1e\0\0")},
        {"DOS-binary section outside the file", bytes("\xC5\xD0\xD3\xC6\xff\0\0\0\x10\0\0\0") +
                                                    std::string(18, '\0') + kEpsf +
                                                    "%%BoundingBox: 0 0 100 100\n"},
    };
    test::TempHome home;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DscHeader header = readDscHeader(home.write("case.eps", c.content));
        EXPECT_EQ(header.boundingBox, c.box);
        EXPECT_EQ(header.hiResBoundingBox, c.hiRes);
    }
    EXPECT_EQ(readDscHeader(home.root()).boundingBox, Box{});  // a folder
}

TEST(DscHeader, ReadsTheMediaDocumentsDeclare) {
    using Media = std::optional<MediaSize>;
    const std::string ps = "%!PS-Adobe-3.0\n", letter = "%%DocumentMedia: Letter 612 792 0 () ()\n";
    const struct Case {
        const char* name;
        std::string content;
        Media media;
        std::string paper = "";
        int turn = 0;
    } cases[] = {
        {"one medium", ps + letter + "%%EndComments\nshowpage\n", MediaSize{612, 792}},
        {"the one %%PageMedia names in the defaults, after the box",
         ps + "%%DocumentMedia: Letter 612 792 0 () ()\n%%+ (Wide Sheet) 1000.5 500 80 white ()\n"
              "%%BoundingBox: 0 0 10 10\n%%EndComments\n%%BeginDefaults\n"
              "%%PageMedia: (Wide Sheet)\n%%EndDefaults\n",
         MediaSize{1000.5, 500}},
        {"an unusable first medium, a name not listed",
         ps + "%%DocumentMedia: Tiny 0 0 0 () ()\n%%+ A5 420 595 0 () ()\n%%PageMedia: B9\n",
         MediaSize{420, 595}},
        {"(atend), sizes missing", ps + "%%DocumentMedia: (atend)\n%%+ Odd 612\n"},
        {"after the prolog begins", ps + "%%BeginProlog\n" + letter},
        {"paper sizes, the first counts",
         ps + "%%DocumentPaperSizes: a4 letter\n%%DocumentPaperSizes: a3\n", {}, "a4"},
        {"%%PaperSize", ps + "%%PaperSize: A4\n%%EndComments\n", {}, "A4"},
        {"paper sizes before %%PaperSize",
         ps + "%%PaperSize: Letter\n%%DocumentPaperSizes: a4\n", {}, "a4"},
        {"landscape", ps + "%%Orientation: Landscape\n", {}, "", 90},
        {"seascape", ps + "%%Orientation: Seascape\n", {}, "", 270},
        {"the defaults' page orientation first",
         ps + "%%Orientation: Landscape\n%%EndComments\n%%BeginDefaults\n"
              "%%PageOrientation: Portrait\n%%EndDefaults\n",
         {}, "", 0},
        {"orientation after the prolog begins",
         ps + "%%BeginProlog\n%%Orientation: Landscape\n", {}, "", 0},
    };
    test::TempHome home;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DscHeader header = readDscHeader(home.write("case.ps", c.content));
        EXPECT_EQ(header.media, c.media);
        EXPECT_EQ(header.paperSize, c.paper);
        EXPECT_EQ(header.turn, c.turn);
    }
}

TEST(DscHeader, LongHeadersAndLinesStayInBoundedMemory) {
    // 10 MB of comments, then a 1 MB line, then the box: found, without the file in memory.
    // The file is written in pieces, so this process never held it either.
    test::TempHome home;
    const auto file = home.root() / "long.eps";
    {
        std::ofstream out(file, std::ios::binary);
        out << kEpsf;
        for (int i = 0; i < 100'000; ++i) out << "% " << std::string(97, 'x') << '\n';
        out << "%%Title: " << std::string(1'000'000, 'y') << "\n%%BoundingBox: 1 2 3 4\n";
    }
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(readDscHeader(file).boundingBox, (BoundingBox{1, 2, 3, 4}));
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 2'000);  // kilobytes; the file has 11 MB
}

TEST(DscHeader, UsableBoxes) {
    const BoundingBox hiRes{0.3, 0.3, 99.6, 99.6};
    const struct Case {
        const char* name;
        Box box, hiRes, usable;
    } cases[] = {
        {"negative origin", BoundingBox{-40, -43, 41, 43}, {}, BoundingBox{-40, -43, 41, 43}},
        {"zero width", BoundingBox{10, 10, 10, 100}, {}, {}},
        {"negative height", BoundingBox{0, 100, 100, 50}, {}, {}},
        {"below a point", BoundingBox{0, 0, 0.5, 100}, {}, {}},
        {"the largest PDF page",
         BoundingBox{0, 0, 14400, 14400},
         {},
         BoundingBox{0, 0, 14400, 14400}},
        {"larger than a PDF page", BoundingBox{-52429, -52429, 52429, 52429}, {}, {}},
        {"far away", BoundingBox{1e7, 1e7, 1e7 + 100, 1e7 + 100}, {}, {}},
        {"hi-res preferred", kSquare, hiRes, hiRes},
        {"hi-res of another drawing", kSquare, BoundingBox{0, 0, 612, 792}, kSquare},
        {"unusable integer box, usable hi-res", BoundingBox{}, hiRes, hiRes},
        {"unusable hi-res", kSquare, BoundingBox{}, kSquare},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ((DscHeader{c.box, c.hiRes}.usableBox()), c.usable);
    }
}

}  // namespace
}  // namespace vorrel
