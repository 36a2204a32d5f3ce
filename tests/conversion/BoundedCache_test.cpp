// The preview files folder on a small file system: previews in a row all succeed, the folder
// stays under its cap, and the least recently used file is the one removed.
#include <gtest/gtest.h>

#include "cache/CacheCap.h"
#include "conversion/ConversionFixture.h"
#include "support/SmallFileSystem.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr std::uint64_t kKiB = 1024;

class BoundedCache : public test::ConversionTest {
protected:
    // 40 MiB for the whole cache home (group container, scratch folder, previews): a cap of
    // 4 MiB.
    BoundedCache() : disk_(home_.cacheHome(), 40 * 1024 * kKiB) {}
    void SetUp() override {
        if (!disk_.mounted()) GTEST_SKIP() << disk_.why();
    }

    static std::uint64_t folderBytes() {
        std::uint64_t total = 0;
        for (const auto& entry : fs::directory_iterator(previewFilesDirectory()))
            total += entry.file_size();
        return total;
    }

    test::SmallFileSystem disk_;
};

TEST_F(BoundedCache, PreviewsInARowStayUnderTheCapAndTheLeastRecentlyUsedGoes) {
    // The fake converter copies its input: each preview is a 700 KiB file.
    GhostScript::TestOverride copying(fake("copy-input"));
    const auto drawing = [this](int number) {
        return source("drawings/" + std::to_string(number) + ".eps",
                      "%!PS-Adobe-3.0 EPSF-3.0\n%" + std::to_string(number) + "\n" +
                          std::string(700 * kKiB, 'x'));
    };
    const std::uint64_t cap = CacheCap::capFor(home_.cacheHome());
    ASSERT_EQ(cap, 4 * 1024 * kKiB);

    const fs::path first = GhostScript(drawing(1), OutputFormat::PDF, 200).run();
    const fs::path second = GhostScript(drawing(2), OutputFormat::PDF, 200).run();
    for (int number = 3; number <= 5; ++number)
        GhostScript(drawing(number), OutputFormat::PDF, 200).run();
    // The first is looked at again: the second is now the least recently used.
    EXPECT_EQ(GhostScript(drawing(1), OutputFormat::PDF, 200).run(), first);
    GhostScript(drawing(6), OutputFormat::PDF, 200).run();  // 6 × 700 KiB > 4 MiB
    EXPECT_TRUE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_LE(folderBytes(), cap);

    for (int number = 7; number <= 30; ++number) {
        SCOPED_TRACE(number);
        const fs::path converted = GhostScript(drawing(number), OutputFormat::PDF, 200).run();
        EXPECT_TRUE(fs::exists(converted));
        EXPECT_LE(folderBytes(), cap);
    }
}

}  // namespace
}  // namespace vorrel
