#include "platform/FileCopy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ostringstream bytes;
    bytes << std::ifstream(file, std::ios::binary).rdbuf();
    return bytes.str();
}

// Empty, one byte, a page, and just over the largest read: the copy and what the observer saw
// are the file's bytes, in order.
TEST(FileCopy, CopiesAndObservesEveryByteOnce) {
    test::TempHome home;
    for (const std::size_t size : {0, 1, 4096, (1 << 20) + 7}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 ^ i >> 9);
        const fs::path from = home.write("from " + std::to_string(size), bytes);
        const fs::path to = home.root() / ("to " + std::to_string(size));
        std::string seen;
        copyFileOnce(from, to, [&](std::span<const std::uint8_t> piece) {
            seen.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        });
        EXPECT_EQ(contents(to), bytes) << size;
        EXPECT_EQ(seen, bytes) << size;
    }
}

TEST(FileCopy, CopyIntoAnOpenFileReplacesWhatItHeld) {
    test::TempHome home;
    const fs::path target = home.write("thumbnail.png", std::string(100'000, 'x'));
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(copyInto(fd, home.write("picture.png", "the new picture")));
    close(fd);
    EXPECT_EQ(contents(target), "the new picture");
    EXPECT_FALSE(copyInto(-1, home.root() / "missing.png"));
}

}  // namespace
}  // namespace vorrel::platform
