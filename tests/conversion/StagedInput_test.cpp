// How a source reaches the converter: read in place (no second copy on disk) when it has been
// left alone, copied otherwise, and never cached under a key its bytes do not have.
#include "conversion/GhostScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "conversion/ConversionFixture.h"
#include "platform/Sha256.h"
#include "support/Eps.h"
#include "support/PostScript.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using test::readFile;

std::string sha256Of(const std::string& bytes) {
    return platform::sha256Hex(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

class StagedInputTest : public test::ConversionTest {
protected:
    struct Staging {
        std::string given;       // "link" or "file"
        std::string folder;      // the names beside the input
        std::uint64_t kib = 0;   // what that folder held on disk
    };

    // What the staging recorder wrote, one entry per launch.
    std::vector<Staging> stagings() const {
        std::vector<Staging> all;
        std::istringstream lines(readFile(record()));
        for (Staging staging; std::getline(lines, staging.given);) {
            std::string kib;
            std::getline(lines, staging.folder);
            std::getline(lines, kib);
            staging.kib = std::stoull(kib);
            all.push_back(staging);
        }
        return all;
    }
    fs::path record() const { return records() / "staging"; }
    // Read in place first, then again from a copy, whose bytes name the result; the key the
    // look began with stays free.
    void expectConvertedAgainFromACopy(const GhostScript& look, const fs::path& shown,
                                       const std::string& bytes) {
        const auto all = stagings();
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all[0].given, "link");
        EXPECT_EQ(all[1].given, "file");
        EXPECT_EQ(readFile(shown), bytes);
        EXPECT_EQ(shown.filename().string(), sha256Of(bytes) + ".pdf");
        EXPECT_FALSE(fs::exists(look.outputFileURL));
    }
    void SetUp() override {
        test::ConversionTest::SetUp();
        setenv("VORREL_FAKE_RECORD", record().c_str(), 1);
        unsetenv("VORREL_FAKE_APPEND");
    }
    void TearDown() override {
        unsetenv("VORREL_FAKE_APPEND");
        test::ConversionTest::TearDown();
    }
};

// A large source left alone is read where it is: the run's folder holds a link, not a second
// copy; compressed, only its expansion. A file just written is copied, as it may still change.
TEST_F(StagedInputTest, ASettledSourceIsReadInPlaceAndAFreshOneCopied) {
    // No box: the fakes take the last argument for the input, which crop arguments would follow.
    // Comment lines of digits that compress no better than real drawings do.
    std::string drawing = "%!PS-Adobe-3.0 EPSF-3.0\n";
    for (std::uint64_t state = 1; drawing.size() < (8u << 20);) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        drawing += "% " + std::to_string(state) + "\n";
    }
    struct Case {
        const char* name;
        bool compressed;
        bool inPlace;
        const char* given;
        const char* folder;
        bool smallFolder;  // the folder holds far less than the source
    } cases[] = {
        {"in place", false, true, "link", "source tmp ", true},
        {"compressed, in place", true, true, "file", "input.ps tmp ", false},
        {"just written", false, false, "file", "source tmp ", false},
        {"compressed, just written", true, false, "file", "input.ps source tmp ", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(record());
        GhostScript::TestOverride useFake(fake("staging-recorder"));
        useFake.unconfined();
        if (c.inPlace) useFake.readingInPlace();
        // Each its own content, so that none is served from the cache.
        const std::string content = drawing + "% case " + std::to_string(++n) + "\n";
        const std::string bytes = c.compressed ? test::ps::gzip(content) : content;
        const fs::path file = source(std::string("drawing") + std::to_string(n) + ".eps", bytes);
        const GhostScript conversion(file, OutputFormat::PDF, 200);
        const fs::path shown = conversion.run();

        EXPECT_EQ(shown, conversion.outputFileURL);
        EXPECT_EQ(shown.filename().string(), sha256Of(bytes) + ".pdf");
        EXPECT_EQ(readFile(shown), content) << "the converter read other bytes";
        const auto all = stagings();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].given, c.given);
        EXPECT_EQ(all[0].folder, c.folder);
        if (c.smallFolder) {
            EXPECT_LT(all[0].kib, 64u);
        } else {
            EXPECT_GE(all[0].kib, 4u << 10);
        }
    }
}

// An editor saving while the converter reads the file in place: the run is made again from a
// copy, and its result is named for the bytes of that copy, never for the key of the bytes
// the look began with.
TEST_F(StagedInputTest, ASourceChangedWhileReadInPlaceIsConvertedAgainFromACopy) {
    const std::string genuine = "%!PS-Adobe-3.0 EPSF-3.0\n% genuine\n";
    const std::string added = "% saved meanwhile\n";
    const fs::path file = source("drawing.eps", genuine);
    setenv("VORREL_FAKE_APPEND", added.c_str(), 1);
    GhostScript::TestOverride useFake(fake("staging-recorder"));
    useFake.unconfined().readingInPlace();

    const GhostScript look(file, OutputFormat::PDF, 200);
    const fs::path shown = look.run();

    expectConvertedAgainFromACopy(look, shown, genuine + added);
    EXPECT_EQ(cacheEntries(), std::vector<std::string>{shown.filename().string()});
    const auto messages = debugMessages("run()");
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "The source changed while it was read: converted again from a copy"),
              messages.end());
    // The copy took the second append, not the user's file.
    EXPECT_EQ(readFile(file), genuine + added);
}

// Saved between the key and the run: the file read in place is unchanged while it is read, but
// its bytes are not those of the key it was looked up by. Which ones the converter read cannot
// then be told from a file that changed unseen (a write through a mapping keeps its times), so
// the run is made again from a copy.
TEST_F(StagedInputTest, ASourceNoLongerHoldingItsKeysBytesIsConvertedFromACopy) {
    const std::string genuine = "%!PS-Adobe-3.0 EPSF-3.0\n% genuine\n";
    const std::string other = "%!PS-Adobe-3.0 EPSF-3.0\n% the other drawing\n";
    const fs::path file = source("drawing.eps", genuine);
    GhostScript::TestOverride useFake(fake("staging-recorder"));
    useFake.unconfined().readingInPlace().beforeStaging([&] { home_.write("drawing.eps", other); });

    const GhostScript look(file, OutputFormat::PDF, 200);
    const fs::path shown = look.run();

    expectConvertedAgainFromACopy(look, shown, other);
}

// Real Ghostscript under every layer of the guard reads the user's file through the link.
TEST_F(StagedInputTest, RealGhostscriptConvertsASourceReadInPlace) {
    GhostScript::TestOverride useReal(realConverter());
    useReal.checkingOutput().readingInPlace();
    const fs::path file = source("line art.eps", test::eps::lineArt());
    const fs::path pdf = GhostScript(file, OutputFormat::PDF, 200).run();
    EXPECT_NE(readFile(pdf).find("/MediaBox [0 0 144 144]"), std::string::npos);
    const fs::path document = source("letter.ps", test::ps::threePages());
    const fs::path pages = GhostScript(document, OutputFormat::PDF, 200).run();
    EXPECT_EQ(readFile(pages).substr(0, 8), "%PDF-1.7");
}

}  // namespace
}  // namespace vorrel
