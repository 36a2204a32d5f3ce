#include "platform/AppGroup.h"

#include <gtest/gtest.h>

#include "support/TempHome.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;

TEST(AppGroup, IdentifierAndContainerComeFromTheTeamPrefix) {
    test::TempHome home;
    EXPECT_EQ(appGroupIdentifier(), "TESTTEAM.group.com.quarnix.Vorrel");
    const fs::path expected = home.cacheHome() / "TESTTEAM.group.com.quarnix.Vorrel";
    EXPECT_EQ(groupContainerURL(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(logFileURL(), expected / "Preview.log");

    // Looked up afresh: a deleted container comes back, a moved base is followed.
    fs::remove_all(expected);
    EXPECT_EQ(groupContainerURL(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(groupContainerURL(), home.root() / ".cache" / "TESTTEAM.group.com.quarnix.Vorrel");
}

TEST(AppGroup, NoContainerWithoutAUsableBaseFolder) {
    test::TempHome home;
    const fs::path file = home.write("regular-file", "x");
    const struct {
        const char* label;
        std::optional<fs::path> xdg, home;
    } cases[] = {
        {"both under a regular file", file / "cache", file / "home"},
        {"no variables at all", std::nullopt, std::nullopt},
        {"relative values only", fs::path("cache"), fs::path("home")},
        {"container name taken by a file", home.root() / "taken", std::nullopt},
    };
    home.write("taken/TESTTEAM.group.com.quarnix.Vorrel", "not a folder");
    for (const auto& c : cases) {
        c.xdg ? setenv("XDG_CACHE_HOME", c.xdg->c_str(), 1) : unsetenv("XDG_CACHE_HOME");
        c.home ? setenv("HOME", c.home->c_str(), 1) : unsetenv("HOME");
        EXPECT_EQ(groupContainerURL(), std::nullopt) << c.label;
        EXPECT_EQ(logFileURL(), std::nullopt) << c.label;
    }
}

// The identifier is computed once per process, so each death runs in a fresh process
// (threadsafe style re-executes the test program) that installs its broken bundle first.
TEST(AppGroupDeathTest, MalformedTeamPrefixStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    platform::Dictionary missing = test::testInfoDictionary();
    missing.erase("TeamIdentifierPrefix");
    platform::Dictionary notText = test::testInfoDictionary();
    notText["TeamIdentifierPrefix"] = platform::Value(std::int64_t{7});
    EXPECT_DEATH(
        {
            platform::Bundle::setMain(platform::Bundle(missing));
            appGroupIdentifier();
        },
        "Fatal error: .*TeamIdentifierPrefix");
    EXPECT_DEATH(
        {
            platform::Bundle::setMain(platform::Bundle(notText));
            appGroupIdentifier();
        },
        "Fatal error: .*TeamIdentifierPrefix.* not text");
}

}  // namespace
}  // namespace vorrel
