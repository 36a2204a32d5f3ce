#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

mode_t modeOf(int fd) {
    struct stat info {};
    EXPECT_EQ(fstat(fd, &info), 0);
    return info.st_mode & 07777;
}

// Reads stop one byte past the limit, so a file over it shows by its size; a short file
// is read whole; a read at an offset wants every byte asked for.
TEST(FileDescriptor, ReadsToTheLimitAndAtOffsets) {
    test::TempHome home;
    const std::string bytes(200'000, 'x');
    const fs::path file = home.write("data", bytes);
    struct Case {
        std::size_t limit, expected;
    };
    for (const Case& c : {Case{1'000'000, 200'000}, Case{200'000, 200'000}, Case{199'999, 200'000},
                          Case{10, 11}, Case{0, 1}}) {
        const FileDescriptor fd = openToRead(file);
        std::string read;
        EXPECT_TRUE(readAll(fd.get(), read, c.limit));
        EXPECT_EQ(read.size(), c.expected) << c.limit;
    }
    const FileDescriptor fd = openToRead(home.write("digits", "0123456789"));
    std::string part;
    EXPECT_TRUE(readExactlyAt(fd.get(), part, 4, 6));
    EXPECT_EQ(part, "6789");
    EXPECT_FALSE(readExactlyAt(fd.get(), part, 5, 6));
}

TEST(FileDescriptor, NamedOpensKeepTheirPromises) {
    test::TempHome home;
    const fs::path file = home.write("file", "text");
    const fs::path link = home.root() / "link";
    fs::create_symlink(file, link);
    const fs::path fifo = home.root() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    EXPECT_TRUE(openToRead(link));
    EXPECT_FALSE(openToRead(link, {.noFollow = true}));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(openToWrite(link, {.noFollow = true}));
    // A FIFO with no writer would block an ordinary open for ever.
    EXPECT_TRUE(openToRead(fifo, {.nonBlocking = true}));
    EXPECT_TRUE(openLockFile(fifo));  // opened at once; its callers refuse it by its type
    EXPECT_FALSE(openLockFile(link));

    // New files: exactly the mode asked for, whatever the umask; never one already there.
    const mode_t saved = umask(077);
    const FileDescriptor created = createNewFile(home.root() / "new", 0640);
    ASSERT_TRUE(created);
    EXPECT_EQ(modeOf(created.get()), 0640u);
    EXPECT_FALSE(createNewFile(home.root() / "new", 0600));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(createNewFile(link, 0600));
    umask(saved);

    std::string pattern = (home.root() / ".settings.XXXXXX").string();
    const FileDescriptor temporary = createTemporaryFile(pattern);
    ASSERT_TRUE(temporary);
    EXPECT_FALSE(pattern.ends_with("XXXXXX"));
    EXPECT_TRUE(fs::is_regular_file(pattern));
    EXPECT_EQ(modeOf(temporary.get()), 0600u);
}

}  // namespace
}  // namespace vorrel::platform
