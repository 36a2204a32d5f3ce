// The small pieces a conversion is made of: error texts, in-progress names, the converter's
// location, PostScript text.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

#include "platform/ChildProcess.h"
#include "platform/ModuleLocation.h"
#include "platform/Uuid.h"
#include "conversion/ConversionError.h"
#include "conversion/GhostScript.h"
#include "conversion/PostScript.h"
#include "support/TempHome.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;

TEST(ConversionError, DescriptionsAreExact) {
    using Case = ConversionError::Case;
    const struct {
        ConversionError error;
        Case kind;
        std::int32_t status;
        const char* text;
    } cases[] = {
        {ConversionError::converterFailed(1), Case::converterFailed, 1,
         "Ghostscript exited with status 1."},
        {ConversionError::converterFailed(137), Case::converterFailed, 137,
         "Ghostscript exited with status 137."},
        {ConversionError::converterFailed(-2), Case::converterFailed, -2,
         "Ghostscript exited with status -2."},
        {ConversionError::outputMissing(), Case::outputMissing, 0,
         "Ghostscript exited without producing an output file."},
        {ConversionError::timedOut(), Case::timedOut, 0,
         "Ghostscript did not finish within 60 seconds."},
        {ConversionError::unreadableOutput(), Case::unreadableOutput, 0,
         "The converted file could not be read."},
        {ConversionError::emptyFile(), Case::emptyFile, 0, "The EPS file is empty."},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.error.what(), c.text);
        EXPECT_EQ(c.error.description(), c.text);
        EXPECT_EQ(c.error.kind(), c.kind);
        EXPECT_EQ(c.error.status(), c.status);
        const std::exception& general = c.error;
        EXPECT_STREQ(general.what(), c.text);
    }
    // Other limits (the thumbnailer's) in the same words, whole seconds without a fraction.
    using std::chrono::milliseconds;
    for (const auto& [limit, text] : {std::pair{milliseconds(15'000), "15"},
                                      std::pair{milliseconds(1'500), "1.5"},
                                      std::pair{milliseconds(250), "0.25"}})
        EXPECT_EQ(ConversionError::timedOutText(limit),
                  std::string("Ghostscript did not finish within ") + text + " seconds.");
    EXPECT_EQ(ConversionError::converterFailed(1), ConversionError::converterFailed(1));
    EXPECT_FALSE(ConversionError::converterFailed(1) == ConversionError::converterFailed(2));
}

TEST(Uuid, CanonicalUpperCaseVersion4AndUnique) {
    const std::regex canonical(
        "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string uuid = platform::newUuidString();
        ASSERT_TRUE(std::regex_match(uuid, canonical)) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

// The folder of the shared object whose path /proc/self/maps lists with `name` in it.
fs::path mappedFolder(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.find('/');
        if (slash != std::string::npos && line.find(name) != std::string::npos)
            return fs::path(line.substr(slash)).parent_path();
    }
    return {};
}

TEST(ModuleLocation, FindsTheModuleHoldingAnAddress) {
    static const int inThisProgram = 0;
    EXPECT_EQ(platform::moduleFolder(&inThisProgram),
              fs::read_symlink("/proc/self/exe").parent_path());
    // A function of the C library lives in the C library's folder.
    const fs::path libc = mappedFolder("libc.so");
    ASSERT_FALSE(libc.empty());
    // The loader may name it through a linked folder (/lib -> usr/lib).
    const fs::path found = platform::moduleFolder(reinterpret_cast<const void*>(&dladdr));
    EXPECT_TRUE(found.is_absolute()) << found;
    EXPECT_TRUE(fs::equivalent(found, libc)) << found << " vs " << libc;
    EXPECT_EQ(platform::moduleFolder(nullptr), fs::path());
}

TEST(ModuleLocation, ConverterIsTwoFoldersUpFromTheModule) {
    // The conversion code is linked into this test program: <build>/tests/conversion/conversion_tests.
    test::TempHome home;
    const GhostScript conversion(home.write("a.eps", "%!PS"), OutputFormat::PDF, 200);
    const fs::path program = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(conversion.converterURL(),
              program.parent_path().parent_path().parent_path() / "libexec/vorrel/converter");
    {
        GhostScript::TestOverride outer("/elsewhere/gs");
        {
            GhostScript::TestOverride inner("/inner/gs");
            EXPECT_EQ(conversion.converterURL(), fs::path("/inner/gs"));
        }
        EXPECT_EQ(conversion.converterURL(), fs::path("/elsewhere/gs"));
    }
    EXPECT_EQ(conversion.converterURL(),
              program.parent_path().parent_path().parent_path() / "libexec/vorrel/converter");
}

// Ghostscript reads the escaped text back as the very bytes it came from: unbalanced
// parentheses, backslashes and sequences that would be escapes themselves.
TEST(PostScriptString, GhostscriptReadsTheTextBack) {
    const fs::path converter = fs::path(VORREL_PREFIX_DIR) / "libexec" / "vorrel" / "converter";
    for (const std::string text : {"plain /path/a b.eps", "(", ")", "a)b(c", "\\", "\\n and \\(",
                                   "%not a comment", "\xc3\xa9t\xc3\xa9 (1).eps"}) {
        SCOPED_TRACE(text);
        platform::ChildProcess gs(converter, {"-q", "-dNODISPLAY", "-dBATCH", "-dNOPAUSE", "-dSAFER",
                                              "-c", "(" + postScriptString(text) + ") print flush"});
        gs.captureOutput(4096);
        gs.launch();
        gs.wait();
        EXPECT_EQ(gs.terminationStatus(), 0) << gs.capturedOutput();
        EXPECT_EQ(gs.capturedOutput(), text);
    }
}

}  // namespace
}  // namespace vorrel
