#include "cache/PreviewFiles.h"

#include <gtest/gtest.h>

#include <fstream>

#include "cache/KeyIndex.h"
#include "platform/Sha256.h"
#include "platform/AppGroup.h"
#include "support/TempHome.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kEps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nshowpage\n";

TEST(PreviewFiles, NamesDependOnContentsFormatAndResolutionOnly) {
    test::TempHome home;
    const fs::path original = home.write("one.eps", kEps);
    const fs::path copy = home.write("other folder/copy with spaces \u00e9\n.eps", kEps);
    std::string edited(kEps);
    edited[edited.size() - 2] ^= 1;
    const fs::path changed = home.write("changed.eps", edited);
    const std::string hex = platform::sha256Hex(original);
    const fs::path folder = home.cacheHome() / appGroupIdentifier() / "tmp";
    EXPECT_EQ(previewFilesDirectory(), folder);
    EXPECT_FALSE(fs::exists(folder));  // created by the key, not by the folder lookup

    EXPECT_EQ(cachedFileURL(original, OutputFormat::PDF, 200), folder / (hex + ".pdf"));
    EXPECT_EQ(cachedFileURL(original, OutputFormat::PNG, 200), folder / (hex + "@200.png"));
    EXPECT_EQ(cachedFileURL(original, OutputFormat::PNG, 72), folder / (hex + "@72.png"));
    EXPECT_EQ(cachedFileURL(copy, OutputFormat::PDF, 200), cachedFileURL(original, OutputFormat::PDF, 200));
    EXPECT_EQ(cachedFileURL(copy, OutputFormat::PNG, 200), cachedFileURL(original, OutputFormat::PNG, 200));
    EXPECT_NE(cachedFileURL(changed, OutputFormat::PDF, 200), cachedFileURL(original, OutputFormat::PDF, 200));
    EXPECT_EQ(hex.size(), 64u);
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(PreviewFiles, FailuresNameWhatIsMissing) {
    test::TempHome home;
    const fs::path source = home.write("a.eps", kEps);
    EXPECT_THROW(cachedFileURL(home.root() / "missing.eps", OutputFormat::PDF, 200), std::system_error);

    const fs::path file = home.write("regular-file", "x");
    setenv("XDG_CACHE_HOME", (file / "cache").c_str(), 1);
    setenv("HOME", (file / "home").c_str(), 1);
    for (auto call : {+[] { (void)previewFilesDirectory(); },
                      +[] { (void)cachedFileURL("/dev/null", OutputFormat::PNG, 200); }}) {
        try {
            call();
            ADD_FAILURE() << "no error without a group container";
        } catch (const ContainerUnavailableError& error) {
            EXPECT_EQ(error.code(), std::make_error_code(std::errc::no_such_file_or_directory));
            EXPECT_NE(std::string(error.what()).find(appGroupIdentifier()), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace vorrel

namespace vorrel {
namespace {

// The key index: the key of a file looked at is remembered by its identity; a file changed
// afterwards, or changed too recently to be told apart from a later change, is hashed again.
TEST(PreviewFilesKeyIndex, ChangedAndJustWrittenFilesAreHashedAgain) {
    test::TempHome home;
    const fs::path file = home.write("drawing.eps", kEps);
    const platform::KeyIndex index(home.cacheHome() / appGroupIdentifier() / "keys.index", 1);
    const auto identity = [&] { return *platform::identityOf(file); };

    // Written just now: within the timestamp granularity, not remembered.
    EXPECT_EQ(sourceKey(file), platform::sha256Hex(file));
    EXPECT_FALSE(index.find(identity()));

    // Old enough: remembered, and reused while the file stays as it is.
    const KeyIndexClockOffset later(std::chrono::seconds(10));
    const std::string key = sourceKey(file);
    EXPECT_EQ(index.find(identity())->key, key);
    EXPECT_EQ(sourceKey(file), key);

    // The same size, other bytes: another key.
    std::string edited(kEps);
    edited[edited.size() - 2] ^= 1;
    home.write("drawing.eps", edited);
    EXPECT_EQ(sourceKey(file), platform::sha256Hex(file));
    EXPECT_NE(sourceKey(file), key);

    // A damaged index is rebuilt by the next look.
    std::ofstream(home.cacheHome() / appGroupIdentifier() / "keys.index") << "garbage";
    EXPECT_EQ(sourceKey(file), platform::sha256Hex(file));
    EXPECT_TRUE(index.find(identity()));

    removeKeyIndex();
    EXPECT_FALSE(index.find(identity()));
}

}  // namespace
}  // namespace vorrel
