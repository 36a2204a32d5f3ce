// What the file system says of files (FileStatus.h), moves that never replace (FileCopy.h)
// and the lock file (FileLock.h).
#include "platform/FileStatus.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "platform/FileLock.h"
#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(FileStatus, TellsKindsAndFollowsLinksOnlyWhenAsked) {
    test::TempHome home;
    const fs::path file = home.write("file", "12345");
    const fs::path link = home.root() / "link";
    fs::create_symlink(file, link);
    ASSERT_EQ(mkfifo((home.root() / "fifo").c_str(), 0600), 0);
    struct Case {
        fs::path path;
        bool follow;
        FileStatus::Type type;
    };
    for (const Case& c : {Case{file, true, FileStatus::Type::regular},
                          Case{link, true, FileStatus::Type::regular},
                          Case{link, false, FileStatus::Type::other},
                          Case{home.root(), true, FileStatus::Type::folder},
                          Case{home.root() / "fifo", true, FileStatus::Type::other}}) {
        const auto status = statusOf(c.path, c.follow);
        ASSERT_TRUE(status) << c.path;
        EXPECT_EQ(status->type, c.type) << c.path << " " << c.follow;
    }
    EXPECT_EQ(statusOf(file)->size(), 5u);
    EXPECT_FALSE(statusOf(home.root() / "missing"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(identityOf(home.root()));  // a folder has no identity the cache could key
    EXPECT_EQ(identityOf(openToRead(file).get()), identityOf(link));
}

// The permission bits that apply to us decide, not access(): root included.
TEST(FileStatus, WritableByModeReadsTheOwnersBits) {
    test::TempHome home;
    const fs::path file = home.write("file", "x");
    for (const auto& [mode, writable] : {std::pair{0600, true}, std::pair{0400, false},
                                         std::pair{0466, false}, std::pair{0200, true}}) {
        fs::permissions(file, static_cast<fs::perms>(mode));
        EXPECT_EQ(statusOf(file)->writableByMode, writable) << std::oct << mode;
    }
}

TEST(MoveWithoutReplacing, MovesOnlyOntoNothing) {
    test::TempHome home;
    const fs::path from = home.write("from", "new");
    const fs::path taken = home.write("taken", "old");
    EXPECT_EQ(moveWithoutReplacing(from, taken), std::errc::file_exists);
    EXPECT_TRUE(fs::exists(from));
    std::ifstream kept(taken);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old");

    EXPECT_FALSE(moveWithoutReplacing(from, home.root() / "free"));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_TRUE(fs::exists(home.root() / "free"));
    EXPECT_EQ(moveWithoutReplacing(from, home.root() / "other"),
              std::errc::no_such_file_or_directory);
}

TEST(FileLock, RefusesWhatIsNoRegularFileAndReleasesWhenItEnds) {
    test::TempHome home;
    const fs::path path = home.root() / "values.json.lock";
    fs::create_symlink(home.write("target", ""), home.root() / "link.lock");
    ASSERT_EQ(mkfifo((home.root() / "fifo.lock").c_str(), 0600), 0);
    EXPECT_EQ(FileLock(home.root() / "link.lock", 100ms).error(), ELOOP);
    EXPECT_EQ(FileLock(home.root() / "fifo.lock", 100ms).error(), EINVAL);
    {
        const FileLock lock(path, 100ms);
        ASSERT_TRUE(lock.locked());
        EXPECT_EQ(statusOf(path)->type, FileStatus::Type::regular);
        const FileLock second(path, 100ms);
        EXPECT_FALSE(second.locked());
        EXPECT_EQ(second.error(), ETIMEDOUT);
    }
    // The helper left waiting for `second` lets go at once when it gets the lock.
    EXPECT_TRUE(FileLock(path, 2000ms).locked());
}

}  // namespace
}  // namespace vorrel::platform
