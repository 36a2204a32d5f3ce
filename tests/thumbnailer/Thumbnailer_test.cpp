// vorrel-thumbnailer as file managers run it, with the real Ghostscript: thumbnails of every
// kind of file at their size with their corners in place, failures that leave nothing, usage
// errors, and signals that stop the converter. Converters are found by the test's own document
// path in their command line, never by name.
#include <string.h>
#include <sys/stat.h>

#include "thumbnailer/ThumbnailerFixture.h"

namespace vorrel::test {
namespace {

TEST_F(ThumbnailerTest, DrawsEveryKindOfFileAtItsSizeOnAWhitePage) {
    const std::string epsf = "%!PS-Adobe-3.0 EPSF-3.0\n", notEpsf = "%!PS-Adobe-3.0\n";
    const BoundingBox square{0, 0, 144, 144}, negative{-40.5, -43.25, 41, 43},
        wide{100, 100, 400, 200}, tall{0.5, 0.5, 60.5, 200.5}, huge{0, 0, 14400, 7200},
        thin{0, 0, 2000, 1}, letter{0, 0, 612, 792}, inLetter{0, 0, 100, 100};
    const struct Case {
        const char* name;
        std::string document;
        int size;
        BoundingBox page;
        std::optional<BoundingBox> drawing;
        double side = 0;  // of the corner squares
        std::map<std::string, std::string> environment = {};
    } cases[] = {
        {"EPSF header", epsf + boxLine(square) + corners(square, 18) + "showpage\n", 256, square,
         square, 18},
        {"negative origin, no EPSF in line 1",
         notEpsf + boxLine(negative) + corners(negative, 12) + "showpage\n", 128, negative,
         negative, 12},
        {"wide box, odd size", epsf + boxLine(wide) + corners(wide, 25) + "showpage\n", 101, wide,
         wide, 25},
        {"hi-res box",
         epsf + "%%BoundingBox: 0 0 61 201\n" + boxLine(tall, "%%HiResBoundingBox:") +
             corners(tall, 15) + "showpage\n",
         64, tall, tall, 15},
        {"DOS-binary that sets a letter page",
         eps::dosBinary(epsf + boxLine(wide) + "letter\n" + corners(wide, 25) + "showpage\n"), 96,
         wide, wide, 25},
        {"box at the end, written just before %%Trailer",
         epsf + "%%BoundingBox: (atend)\n" + corners(wide, 25) + "showpage\n" + boxLine(wide) +
             "%%Trailer\n%%EOF\n",
         128, wide, wide, 25},
        {"no showpage", epsf + boxLine(square) + corners(square, 18), 48, square, square, 18},
        {"two pages: the first only",
         epsf + boxLine(square) + corners(square, 18) + "showpage\n" +
             "1 0 0 setrgbcolor 0 0 144 144 rectfill showpage\n",
         200, square, square, 18},
        // Below Ghostscript's lowest resolution: drawn on a scaled page.
        {"box of 200 inches", epsf + boxLine(huge) + corners(huge, 1800) + "showpage\n", 64, huge,
         huge, 1800},
        {"thinner than a pixel", epsf + boxLine(thin) + "0 0 2000 1 rectfill showpage\n", 256,
         thin},
        // The whole page Ghostscript gives such a file: the system's paper, here letter.
        {"no bounding box",
         epsf + corners(inLetter, 12) + "showpage\n",
         256,
         letter,
         inLetter,
         12,
         {{"PAPERSIZE", "letter"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path input = document(std::string(c.name) + ".eps", c.document);
        const fs::path output = out_ / (std::string(c.name) + ".png");
        const Outcome outcome = thumbnail(c.size, input, output, c.environment);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(thumbnailProblem(output, c.size, c.page, c.drawing, c.side), "");
    }
    // Nothing beside the thumbnails, nothing in the home folder.
    EXPECT_EQ(entries(out_).size(), std::size(cases));
    EXPECT_EQ(entries(home_), std::vector<std::string>{});
}

// Black line art on a transparent background vanishes on a dark file manager: the thumbnail
// is an opaque page, white where nothing is drawn.
TEST_F(ThumbnailerTest, LineArtLiesOnAnOpaqueWhitePage) {
    const fs::path output = out_ / "line art.png";
    const Outcome outcome = thumbnail(144, document("line art.eps", eps::lineArt()), output);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const QImage image(QString::fromStdString(output.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_FALSE(image.hasAlphaChannel());
    const int right = image.width() - 1, bottom = image.height() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom),
                                QPoint(right, bottom)})
        EXPECT_EQ(image.pixelColor(corner), QColor(Qt::white)) << corner.x() << ',' << corner.y();
    // The blue diagonal is there, on that page.
    const QColor middle = image.pixelColor(image.width() / 2 - 20, image.height() / 2 + 20);
    EXPECT_GT(middle.blue() - middle.red(), 100) << middle.name().toStdString();
}

// XFCE's thumbnail service creates OUTPUT, keeps it open and reads the picture back through
// that descriptor: a rename over the path would leave it reading its own empty file.
TEST_F(ThumbnailerTest, AFileManagerReadsTheThumbnailThroughItsOwnDescriptor) {
    const fs::path output = out_ / "tumbler-XXXXXX.png";
    const int fd = open(output.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    fchmod(fd, 0640);
    struct stat before {};
    fstat(fd, &before);

    const Outcome outcome = thumbnail(128, document("fine.eps", eps::lineArt()), output);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::string bytes;
    char buffer[4096];
    for (ssize_t got; (got = pread(fd, buffer, sizeof buffer, bytes.size())) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(got));
    struct stat after {};
    fstat(fd, &after);
    close(fd);

    QImage image;
    EXPECT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                   static_cast<int>(bytes.size()), "PNG"))
        << bytes.size() << " bytes";
    EXPECT_EQ(image.size(), QSize(128, 128));
    EXPECT_EQ(after.st_nlink, 1u);  // still the file at OUTPUT, not one renamed away
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(thumbnailProblem(output, 128, {0, 0, 144, 144}), "");
    EXPECT_EQ(entries(out_), std::vector<std::string>{output.filename().string()});
}

// A drawing that leaves the page blank makes no thumbnail: the file manager then shows its
// generic icon rather than an empty tile.
TEST_F(ThumbnailerTest, ABlankDrawingFailsWithItsLineAndNoOutput) {
    const std::string epsf = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 144\n";
    const struct Case {
        const char* name;
        std::string document;
    } cases[] = {
        {"pdfmark only",
         epsf + "/pdfmark where {pop} {userdict /pdfmark /cleartomark load put} ifelse\n"
                "[ /Title (Form) /DOCINFO pdfmark\nshowpage\n"},
        {"no box, nothing drawn", "%!PS-Adobe-3.0\n%%EOF\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = std::string(c.name) + ".eps";
        const Outcome outcome = thumbnail(128, document(name, c.document), out_ / "t.png");
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "vorrel-thumbnailer: " + name + " draws nothing.\n");
        EXPECT_EQ(entries(out_), std::vector<std::string>{});
    }
    // One dot is a drawing.
    const Outcome dot = thumbnail(
        128, document("dot.eps", epsf + "72 72 1 1 rectfill showpage\n"), out_ / "t.png");
    EXPECT_EQ(dot.status, 0) << dot.err;
}

TEST_F(ThumbnailerTest, FailsWithOneLineLeavingNothing) {
    const fs::path victim = folders_.write("victim.txt", "untouched\n");
    const fs::path marker = folders_.root() / "pipe-ran";
    const fs::path folder = folders_.root() / "a folder.eps";
    fs::create_directories(folder);
    const struct Case {
        const char* name;
        std::optional<std::string> document;  // none: the input is given below
        fs::path input = {};
        const char* reason = "Ghostscript exited with status 1.";
    } cases[] = {
        {"reads /etc/passwd", eps::readingFile("/etc/passwd")},
        {"writes another file", eps::writingFile(victim)},
        {"opens a pipe", eps::openingPipe("touch " + marker.string())},
        {"is not PostScript", std::string("GIF89a\x01\x00\x01\x00", 10)},
        {"is empty", std::string(), {}, "The EPS file is empty."},
        {"does not exist", std::nullopt, folders_.root() / "missing.eps", "cannot read "},
        {"is a folder", std::nullopt, folder, "cannot read "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path input =
            c.document ? document(std::string(c.name) + ".eps", *c.document) : c.input;
        const fs::path output = out_ / "thumbnail.png";
        const Outcome outcome = thumbnail(128, input, output);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(outcome.err.starts_with("vorrel-thumbnailer: " + std::string(c.reason)))
            << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
        EXPECT_EQ(entries(out_), std::vector<std::string>{});
        EXPECT_TRUE(processesMentioning(converterMark()).empty());
    }
    EXPECT_EQ(readFile(victim), "untouched\n");
    EXPECT_FALSE(fs::exists(marker));

    // An output folder that is not there.
    const fs::path input = document("fine.eps", eps::lineArt());
    const Outcome outcome = thumbnail(128, input, folders_.root() / "nowhere" / "t.png");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("vorrel-thumbnailer: cannot create ")) << outcome.err;
}

TEST_F(ThumbnailerTest, RejectsNonsenseOnTheCommandLine) {
    const std::string input = document("fine.eps", eps::lineArt()).string();
    const std::string output = (out_ / "t.png").string();
    const std::string sizeError =
        "vorrel-thumbnailer: the size must be a whole number from 1 to "
        "4096\n";
    const struct Case {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"-s", "0", input, output}, sizeError},
        {{"-s", "-1", input, output}, sizeError},
        {{"-s", "4097", input, output}, sizeError},
        {{"-s", "99999999999", input, output}, sizeError},
        {{"-s", "12.5", input, output}, sizeError},
        {{"-s", "big", input, output}, sizeError},
        {{input, output}, "vorrel-thumbnailer: no size given (-s SIZE)\n"},
        {{"-s", "128", input}, "vorrel-thumbnailer: give INPUT and OUTPUT\n"},
        {{"-s", "128", input, output, output}, "vorrel-thumbnailer: give INPUT and OUTPUT\n"},
        {{"-s"}, "vorrel-thumbnailer: Missing value after '-s'.\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> command{kThumbnailer.string()};
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        const Outcome outcome = run(command);
        SCOPED_TRACE(c.error);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err, c.error + "Try 'vorrel-thumbnailer --help' for more information.\n");
        EXPECT_EQ(entries(out_), std::vector<std::string>{});
    }
    // The largest size is no nonsense.
    EXPECT_EQ(thumbnail(4096, input, output).status, 0);
    EXPECT_EQ(thumbnailProblem(output, 4096, {0, 0, 144, 144}), "");

    // The usual spellings of the size.
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"-s64", input, output},
             {"--size=64", input, output},
             {"--size", "64", input, output},
             {"--verbose", "-s", "64", input, output},
             {"-s", "64", "--", input, output}}) {
        std::vector<std::string> command{kThumbnailer.string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const Outcome outcome = run(command);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(thumbnailProblem(output, 64, {0, 0, 144, 144}), "") << arguments[0];
        fs::remove(output);
    }
}

// A file manager that gives up on a thumbnail (or a session that ends) signals the program:
// its converter must end with it, and no file of the run may stay.
TEST_F(ThumbnailerTest, SignalsStopTheConverterAndLeaveNothing) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        const fs::path input =
            document("endless " + std::to_string(signal) + ".eps", eps::loopingForever());
        const pid_t program =
            start({kThumbnailer.string(), "-s", "256", input.string(), (out_ / "t.png").string()});
        ASSERT_TRUE(eventually([&] {
            return !processesMentioning(converterMark(), program).empty();
        })) << "no converter started";
        kill(program, signal);
        // At once, not when the 15-second limit ends the converter.
        EXPECT_EQ(finish(program, 10s).status, 128 + signal);
        EXPECT_TRUE(eventually([&] { return processesMentioning(converterMark()).empty(); }, 3s))
            << "the converter outlived the program";
        if (signal == SIGKILL) {
            // Nothing can clean up after SIGKILL but the private folder's next sweep.
            for (const auto& name : entries(out_))
                EXPECT_TRUE(name.starts_with(".vorrel-thumbnailer-"));
            fs::remove_all(out_);
            fs::create_directories(out_);
        } else {
            EXPECT_EQ(entries(out_), std::vector<std::string>{});
        }
    }
}

}  // namespace
}  // namespace vorrel::test
