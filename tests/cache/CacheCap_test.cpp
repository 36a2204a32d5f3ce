// The preview files folder's cap: a tenth of a small file system, least recently used first.
#include "cache/CacheCap.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/SmallFileSystem.h"
#include "support/TempHome.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kMiB = 1 << 20;

class CacheCapTest : public ::testing::Test {
protected:
    // 40 MiB: a cap of 4 MiB.
    CacheCapTest() : disk_(home_.root() / "disk", 40 * kMiB) {}

    void SetUp() override {
        if (!disk_.mounted()) GTEST_SKIP() << disk_.why();
    }

    fs::path put(const std::string& name, std::uint64_t bytes) const {
        const fs::path file = disk_.folder() / name;
        home_.write(file.lexically_relative(home_.root()), std::string(bytes, 'x'));
        return file;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(disk_.folder()))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    test::TempHome home_;
    test::SmallFileSystem disk_;
};

TEST_F(CacheCapTest, IsATenthOfTheFileSystemAtMostOneGibibyte) {
    EXPECT_EQ(CacheCap::capFor(disk_.folder()), 4 * kMiB);
    EXPECT_LE(CacheCap::capFor("/"), CacheCap::kLargestCap);
}

TEST_F(CacheCapTest, TheLeastRecentlyUsedGoFirst) {
    // a, b, c, d made in that order; a looked at again last.
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf"}) {
        CacheCap::placed(put(name, kMiB), kMiB);
    }
    put("inprogress-1.pdf", 2 * kMiB);  // neither counted nor removed
    CacheCap::recordUse(disk_.folder() / "a.pdf");
    CacheCap::makeRoom(disk_.folder(), 2 * kMiB);  // 4 + 2 > 4: b and c go
    EXPECT_EQ(names(), (std::vector<std::string>{"a.pdf", "d.pdf", "inprogress-1.pdf"}));
    CacheCap::makeRoom(disk_.folder(), kMiB);  // 2 + 1 fits
    EXPECT_EQ(names().size(), 3u);
}

TEST_F(CacheCapTest, AFileLargerThanTheCapIsPlacedThenGoesFirst) {
    CacheCap::placed(put("small.pdf", kMiB), kMiB);
    CacheCap::makeRoom(disk_.folder(), 5 * kMiB);  // larger than the cap: removes nothing
    EXPECT_EQ(names(), std::vector<std::string>{"small.pdf"});
    CacheCap::placed(put("large.pdf", 5 * kMiB), 5 * kMiB);
    CacheCap::placed(put("newer.pdf", kMiB), kMiB);
    CacheCap::makeRoom(disk_.folder(), kMiB);  // 7 + 1 > 4: the large one first, then it fits
    EXPECT_EQ(names(), (std::vector<std::string>{"newer.pdf", "small.pdf"}));
}

TEST_F(CacheCapTest, SpaceAllocatedPastTheEndCounts) {
    const fs::path sparse = disk_.folder() / "allocated.pdf";
    const int fd = open(sparse.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, 3 * kMiB), 0);
    close(fd);
    CacheCap::recordUse(sparse);
    CacheCap::makeRoom(disk_.folder(), 2 * kMiB);
    EXPECT_EQ(names(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vorrel
