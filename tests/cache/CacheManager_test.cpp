#include "cache/CacheManager.h"

#include <gtest/gtest.h>

#include "platform/FileTimes.h"
#include "settings/Suite.h"
#include "cache/PreviewFiles.h"
#include "support/TempHome.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using platform::Date;
using platform::Value;
using std::chrono::seconds;

class CacheManagerTest : public ::testing::Test {
protected:
    void TearDown() override { CacheManager::setClock(nullptr); }

    void setNow(Date now) {
        CacheManager::setClock([now] { return now; });
    }
    std::optional<Value> record() const {
        return platform::Suite::standard()->objectForKey("CacheLastClearedDate");
    }
    void setRecord(std::optional<Value> value) {
        platform::Suite::standard()->setObject(std::move(value), "CacheLastClearedDate");
    }

    test::TempHome home;
};

TEST_F(CacheManagerTest, PurgeIntervalBoundaries) {
    const Date last = std::chrono::system_clock::now() - seconds(30 * 86400);
    const struct {
        std::optional<Value> stored;
        Date now;
        bool expected;
    } cases[] = {
        {std::nullopt, last, true},
        {Value(last), last + seconds(1'209'600), true},
        {Value(last), last + seconds(1'209'599), false},
        {Value(last), last, false},
        {Value(last), last - seconds(10), false},
        {Value("2026-01-01T00:00:00Z"), last, true},
        {Value(std::int64_t{0}), last, true},
        {Value(0.0), last, true},
    };
    for (const auto& c : cases) {
        setRecord(c.stored);
        setNow(c.now);
        EXPECT_EQ(CacheManager::shouldClearCache(), c.expected)
            << (c.stored ? std::string(platform::kindName(c.stored->kind())) : "none") << " "
            << (c.now - last).count();
    }
}

TEST_F(CacheManagerTest, RemovesOnlyEntriesOlderThanTheCutOff) {
    const fs::path folder = previewFilesDirectory();
    const fs::path file = home.write(folder.lexically_relative(home.root()) / "a.pdf", "pdf");
    const fs::path hidden = home.write(folder.lexically_relative(home.root()) / ".inprogress-x.png", "png");
    fs::create_directory(folder / "sub folder");
    const auto created = platform::creationDate(file);
    ASSERT_TRUE(created);

    // Cut-off equal to the oldest creation date: nothing is strictly older.
    setNow(*created + seconds(1'209'600));
    CacheManager::clearCacheIfNeeded();
    EXPECT_TRUE(fs::exists(file));
    ASSERT_TRUE(record());
    EXPECT_EQ(record(), Value(*created + seconds(1'209'600)));

    // A second later than the first run: the run is due and every entry is older.
    const auto newest = std::max({*created, *platform::creationDate(hidden),
                                  *platform::creationDate(folder / "sub folder")});
    setRecord(std::nullopt);
    setNow(newest + seconds(1'209'601));
    CacheManager::clearCacheIfNeeded();
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(hidden));
    EXPECT_FALSE(fs::exists(folder / "sub folder"));
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(CacheManagerTest, OneSecondOlderThanTheCutOffIsRemoved) {
    const fs::path file = home.write(previewFilesDirectory().lexically_relative(home.root()) / "b.pdf", "b");
    const auto created = platform::creationDate(file);
    ASSERT_TRUE(created);
    setNow(*created + seconds(1'209'600 + 1));
    CacheManager::clearCacheIfNeeded();
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(CacheManagerTest, FirstPurgeRecordsTheDateAndKeepsYoungFiles) {
    const fs::path file = home.write(previewFilesDirectory().lexically_relative(home.root()) / "c.pdf", "c");
    ASSERT_FALSE(record());
    CacheManager::clearCacheIfNeeded();
    EXPECT_TRUE(fs::exists(file));
    ASSERT_TRUE(record());
    EXPECT_TRUE(record()->is<Date>());
    // The record lives in the extension's own suite, not in the shared one.
    EXPECT_EQ(platform::Suite::standard()->name(), platform::Bundle::main().identifier());
    EXPECT_FALSE(CacheManager::shouldClearCache());
}

TEST_F(CacheManagerTest, RecordsNothingWithoutAContainerAndSurvivesAMissingFolder) {
    const fs::path file = home.write("regular-file", "x");
    setenv("XDG_CACHE_HOME", (file / "cache").c_str(), 1);
    setenv("HOME", (file / "home").c_str(), 1);
    EXPECT_THROW(previewFilesDirectory(), ContainerUnavailableError);
    CacheManager::clearCacheIfNeeded();
    EXPECT_FALSE(record());

    // Container present but "tmp" not created yet: the listing fails, the date is recorded.
    setenv("XDG_CACHE_HOME", home.cacheHome().c_str(), 1);
    ASSERT_FALSE(fs::exists(previewFilesDirectory()));
    CacheManager::clearCacheIfNeeded();
    EXPECT_TRUE(record());
}

}  // namespace
}  // namespace vorrel
