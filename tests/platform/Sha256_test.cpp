#include "platform/Sha256.h"

#include <gtest/gtest.h>

#include "platform/FileTimes.h"
#include "platform/Paths.h"
#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;

TEST(Sha256, KnownDigests) {
    const std::string abc = "abc";
    EXPECT_EQ(sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size())),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    test::TempHome home;
    EXPECT_EQ(sha256Hex(home.write("empty", "")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex(home.write("abc", "abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, StreamedFileMatchesTheWholeBuffer) {
    test::TempHome home;
    // Longer than several read chunks and not a multiple of one.
    std::string bytes((3u << 20) + 12345, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131) ^ (i >> 9));
    const fs::path file = home.write("big file \u00e9\n.eps", bytes);
    EXPECT_EQ(sha256Hex(file),
              sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
}

TEST(Sha256, UnreadableFilesThrowWithErrnoAndPath) {
    test::TempHome home;
    const struct {
        fs::path path;
        std::errc error;
    } cases[] = {
        {home.root() / "missing.eps", std::errc::no_such_file_or_directory},
        {home.root(), std::errc::is_a_directory},
        {home.write("plain", "x") / "below", std::errc::not_a_directory},
    };
    for (const auto& c : cases) {
        try {
            sha256Hex(c.path);
            ADD_FAILURE() << "no error for " << c.path;
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), std::make_error_code(c.error)) << c.path;
            EXPECT_NE(std::string(error.what()).find(c.path.string()), std::string::npos);
        }
    }
}

TEST(FileTimes, CreationDateOfNewAndMissingEntries) {
    test::TempHome home;
    const auto before = std::chrono::system_clock::now() - std::chrono::seconds(5);
    const fs::path file = home.write("new", "x");
    const auto created = creationDate(file);
    ASSERT_TRUE(created);
    EXPECT_GE(*created, before);
    EXPECT_LE(*created, std::chrono::system_clock::now() + std::chrono::seconds(5));
    // A link is dated itself, and a dangling one still has a date.
    fs::create_symlink(home.root() / "nothing", home.root() / "link");
    EXPECT_TRUE(creationDate(home.root() / "link"));
    EXPECT_EQ(creationDate(home.root() / "missing"), std::nullopt);
}

TEST(Paths, FollowTheBaseDirectoryRules) {
    test::TempHome home;
    const struct {
        const char* xdg;
        const char* home;
        std::optional<fs::path> config;
    } cases[] = {
        {"/x/config", "/h", fs::path("/x/config")},
        {"relative", "/h", fs::path("/h/.config")},
        {"", "/h", fs::path("/h/.config")},
        {nullptr, "/h", fs::path("/h/.config")},
        {nullptr, "relative", std::nullopt},
        {nullptr, nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        c.xdg ? setenv("XDG_CONFIG_HOME", c.xdg, 1) : unsetenv("XDG_CONFIG_HOME");
        c.xdg ? setenv("XDG_CACHE_HOME", (std::string(c.xdg) + "-cache").c_str(), 1)
              : unsetenv("XDG_CACHE_HOME");
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        EXPECT_EQ(configHome(), c.config) << (c.xdg ? c.xdg : "-") << " " << (c.home ? c.home : "-");
        if (c.config && c.xdg && c.xdg[0] == '/')
            EXPECT_EQ(cacheHome(), fs::path("/x/config-cache"));
        else if (c.config)
            EXPECT_EQ(cacheHome(), fs::path("/h/.cache"));
        else
            EXPECT_EQ(cacheHome(), std::nullopt);
    }
}

}  // namespace
}  // namespace vorrel::platform
