// Conversions through the real Ghostscript (the build prefix's converter link). Every suite here
// is named Ghostscript*, so `ctest -R '^Ghostscript'` selects the tests that need it.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/ChildProcess.h"
#include "platform/Sandbox.h"
#include "conversion/ConversionFixture.h"
#include "conversion/FirstPage.h"
#include "conversion/PngHeader.h"
#include "cache/ConvertedFile.h"
#include "support/Eps.h"
#include "support/PostScript.h"

#include <optional>

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;

class GhostscriptConversion : public test::ConversionTest {
protected:
    GhostScript::TestOverride useRealConverter_{realConverter()};
};

TEST_F(GhostscriptConversion, ConvertsTestDocumentsToPdfAndPng) {
    struct Case {
        const char* name;
        std::string document;
        std::uint32_t pngSide;  // expected PNG width and height, 0: not checked
        const char* pdfMark;    // expected somewhere in the PDF
    } cases[] = {
        {"text", test::eps::text(), 0, "/BaseFont/Helvetica"},
        {"line art", test::eps::lineArt(), 400, "/MediaBox [0 0 144 144]"},
        {"image", test::eps::embeddedImage(), 178, "/MediaBox [0 0 64 64]"},
        {"no bounding box", test::eps::withoutBoundingBox(), 0, "/MediaBox"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = source(std::string(c.name) + ".eps", c.document);

        const fs::path pdf = GhostScript(file, OutputFormat::PDF, 200).run();
        const std::string pdfBytes = readFile(pdf);
        EXPECT_EQ(pdfBytes.substr(0, 8), "%PDF-1.7");
        EXPECT_NE(pdfBytes.find(c.pdfMark), std::string::npos);

        const fs::path png = GhostScript(file, OutputFormat::PNG, 200).run();
        EXPECT_EQ(png.filename().string().substr(64), "@200.png");
        const auto header = readPngHeader(png);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->colourType, 6);  // RGBA: the transparent background
        if (c.pngSide) {
            EXPECT_EQ(header->width, c.pngSide);
            EXPECT_EQ(header->height, c.pngSide);
        }
    }
    for (const auto& name : cacheEntries()) EXPECT_EQ(name.find("inprogress-"), std::string::npos);
    EXPECT_EQ(cacheEntries().size(), 8u);
}

TEST_F(GhostscriptConversion, AwkwardPathsWork) {
    // Source and cache folder both with spaces, a newline, non-ASCII characters and a "%d" that
    // Ghostscript would otherwise expand in the output name.
    setenv("XDG_CACHE_HOME", (home_.root() / "cache 100%d\nÜber").c_str(), 1);
    const fs::path file =
        source(fs::path("EPS files") / "line\nbreak" / "Größe – ü.eps", test::eps::lineArt());
    for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
        const GhostScript conversion(file, format, 200);
        EXPECT_EQ(conversion.run(), conversion.outputFileURL);
        EXPECT_TRUE(fs::is_regular_file(conversion.outputFileURL));
    }
    EXPECT_EQ(cacheEntries().size(), 2u);
}

// Names Ghostscript would take for a wildcard, an option, or that steer a terminal: each file
// is drawn from its own bytes (the line art, 400 pixels square), never from a neighbour.
TEST_F(GhostscriptConversion, HostileFileNamesShowTheirOwnDrawing) {
    useRealConverter_.checkingOutput();
    source("a folder/neighbour.eps", test::eps::text());
    const char* names[] = {"*", "-dNOSAFER.eps", "new\nline \x1b]0;title\x07.eps"};
    int copy = 0;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const fs::path file = source(fs::path("a folder") / name,
                                     test::eps::lineArt() + "% copy " + std::to_string(++copy));
        const auto header = readPngHeader(GhostScript(file, OutputFormat::PNG, 200).run());
        ASSERT_TRUE(header);
        EXPECT_EQ(header->width, 400u);
        EXPECT_EQ(header->height, 400u);
    }
    EXPECT_EQ(cacheEntries().size(), 3u);
}

// A cached file cut short (a crash before its data reached the disk) is converted once more,
// without a word to the user.
TEST_F(GhostscriptConversion, ATruncatedCachedFileIsConvertedAgain) {
    useRealConverter_.checkingOutput();
    const fs::path file = source("drawing.eps", test::eps::embeddedImage());
    for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
        SCOPED_TRACE(logWord(format));
        const fs::path cached = GhostScript(file, format, 200).run();
        const std::string whole = readFile(cached);
        fs::resize_file(cached, whole.size() / 2);

        EXPECT_EQ(GhostScript(file, format, 200).run(), cached);
        // Not byte for byte: a PDF's /ID comes from the time and is written as a literal or a
        // hex string, whichever its bytes allow, so its length varies by a few bytes.
        EXPECT_NEAR(double(readFile(cached).size()), double(whole.size()), 64);
        EXPECT_TRUE(isWholeConvertedFile(cached, format));
    }
}

// The filter is an allowlist built from a trace of Ghostscript: real Ghostscript over our own
// drawings and documents, in every mode (PDF, PNG with alpha, a document's PDF and its first
// page as an opaque PNG), makes no call it refuses. Under RefusalsKill a refused call would
// kill it with SIGSYS and the run would fail; with Landlock at ABI 2 as well, as on Debian 12.
TEST_F(GhostscriptConversion, MakesNoCallTheFilterRefuses) {
    if (!platform::Sandbox::support().seccomp)
        GTEST_SKIP() << "no seccomp filter here: " << platform::Sandbox::support().seccompMissing;
    const platform::Sandbox::RefusalsKill refusalsKill;
    const std::pair<const char*, std::string> files[] = {
        {"text.eps", test::eps::text()},
        {"line art.eps", test::eps::lineArt()},
        {"image.eps", test::eps::embeddedImage()},
        {"no bounding box.eps", test::eps::withoutBoundingBox()},
        {"three pages.ps", test::ps::threePages()},
        {"no comments.ps", test::ps::withoutComments()},
    };
    for (const int abiCeiling : {0, 2}) {
        std::optional<platform::Sandbox::LandlockAbiCeiling> ceiling;
        if (abiCeiling) ceiling.emplace(abiCeiling);
        for (const auto& [name, content] : files) {
            SCOPED_TRACE(std::string(name) + (abiCeiling ? ", Landlock ABI 2" : ""));
            const fs::path file =
                source(fs::path(abiCeiling ? "abi2" : "all") / name, content + "% " + name);
            try {
                EXPECT_TRUE(fs::is_regular_file(GhostScript(file, OutputFormat::PDF, 200).run()));
                EXPECT_TRUE(fs::is_regular_file(GhostScript(file, OutputFormat::PNG, 200).run()));
                if (file.extension() == ".ps") {
                    const FirstPage page(GhostScript(file, OutputFormat::PDF, 200), 96, {});
                    EXPECT_TRUE(fs::is_regular_file(page.file()));
                }
            } catch (const ConversionError& error) {
                ADD_FAILURE() << error.what() << " (status " << 128 + SIGSYS
                              << ": Ghostscript made a call the filter refuses)";
            }
        }
    }
}

class GhostscriptContainment : public test::ConversionTest {
protected:
    // A file in the system's temporary folder that documents must not reach.
    GhostscriptContainment() {
        char pattern[] = "/tmp/vorrel-victim-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) {
            (void)!write(fd, "original", 8);
            close(fd);
        }
        victim_ = pattern;
    }
    ~GhostscriptContainment() override {
        std::error_code ignored;
        fs::remove(victim_, ignored);
        fs::remove(marker_, ignored);
    }

    fs::path victim_;
    fs::path marker_ = "/tmp/vorrel-pipe-marker-" + std::to_string(getpid());
};

TEST_F(GhostscriptContainment, HostileDocumentsFailAndLeaveNoTrace) {
    ASSERT_EQ(readFile(victim_), "original");
    GhostScript::TestOverride useRealConverter(realConverter());
    const struct Case {
        const char* name;
        std::string document;
    } cases[] = {
        {"reads /etc/passwd", test::eps::readingFile("/etc/passwd")},
        {"writes into /tmp", test::eps::writingFile(victim_)},
        {"deletes in /tmp", test::eps::deletingFile(victim_)},
        {"opens a pipe", test::eps::openingPipe("touch " + marker_.string())},
    };
    for (const auto& c : cases) {
        for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::string(logWord(format)));
            const GhostScript conversion(source(std::string(c.name) + ".eps", c.document), format,
                                         200);
            EXPECT_THROW(conversion.run(), ConversionError);
            EXPECT_EQ(cacheEntries(), std::vector<std::string>{});
            EXPECT_EQ(readFile(victim_), "original");
            EXPECT_FALSE(fs::exists(marker_));
        }
    }
}

// Why every run gets a private TMPDIR: the same document, run by bare Ghostscript with the
// shared temporary folder as TMPDIR, does reach the victim file.
TEST_F(GhostscriptContainment, SharedTemporaryFolderWouldBeReachable) {
    const fs::path document = source("writer.eps", test::eps::writingFile(victim_));
    platform::ChildProcess bare(
        VORREL_GHOSTSCRIPT,
        {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pngalpha", "-r72", "-dEPSCrop", "-o",
         (home_.root() / "out.png").string(), document.string()});
    bare.setEnvironment("TMPDIR", "/tmp");
    bare.launch();
    bare.wait();
    EXPECT_EQ(readFile(victim_), "tampered");
}

TEST_F(GhostscriptContainment, EndlessDocumentTimesOut) {
    GhostScript::TestOverride useRealConverter(realConverter(), 1500ms, 500ms);
    const GhostScript conversion(source("loop.eps", test::eps::loopingForever()), OutputFormat::PDF,
                                 200);
    try {
        conversion.run();
        FAIL() << "run() succeeded";
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.kind(), ConversionError::Case::timedOut);
    }
    EXPECT_EQ(cacheEntries(), std::vector<std::string>{});
    EXPECT_TRUE(noChildrenLeft());
    EXPECT_TRUE(allSlotsFree());
}

}  // namespace
}  // namespace vorrel
