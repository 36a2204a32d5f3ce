// The preview files folder on a small file system: previews in a row all succeed, the folder
// stays under its cap, and the least recently used file is the one removed.
#include <gtest/gtest.h>

#include "cache/CacheCap.h"
#include "platform/AppGroup.h"
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

// Nothing in the preview files and scratch folders but `allowed`.
std::vector<std::string> leftovers() {
    std::vector<std::string> names;
    for (const fs::path& folder :
         {previewFilesDirectory(), scratchDirectory(previewFilesDirectory())}) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error))
            names.push_back(entry.path().filename().string());
    }
    return names;
}

// A disk without room for the run: the user reads why and how much, and nothing is left.
TEST_F(BoundedCache, AFullDiskSaysHowMuchRoomIsNeededAndLeavesNothing) {
    GhostScript::TestOverride copying(fake("copy-input"));
    // Too large for the room there (the copy and the margin, 4 + 16 MiB, on 40 MiB, made full).
    const fs::path filler = home_.cacheHome() / "filler";
    home_.write(filler.lexically_relative(home_.root()), std::string(30 * 1024 * kKiB, 'f'));
    const fs::path big = source("big.eps", std::string(4 * 1024 * kKiB, 'x'));
    try {
        GhostScript(big, OutputFormat::PDF, 200).run();
        FAIL() << "run() succeeded";
    } catch (const ConverterRun::NotEnoughSpace& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Not enough disk space to preview \u201c" "big.eps\u201d: Vorrel needs about 21 MB in " +
                      groupContainerURL()->string() + ".");
        EXPECT_EQ(error.code(), std::errc::no_space_on_device);
    }
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    fs::remove(filler);

    // Room enough to start, then filled by what the converter writes: the same sentence once the
    // disk is full, and nothing of the run is left.
    GhostScript::TestOverride flooding(fake("flood"), 3000ms, 100ms);
    EXPECT_THROW(GhostScript(source("flood.eps", "flood"), OutputFormat::PDF, 200).run(),
                 ConverterRun::NotEnoughSpace);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vorrel
