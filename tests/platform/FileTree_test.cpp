// Trees a converter made awkward: folders its owner may not list or enter, space allocated
// past a file's end, files removed while open.
#include "platform/FileTree.h"

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 1 << 20;

bool writeFile(const fs::path& path, std::uint64_t bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string block(kMiB, 'x');
    bool written = true;
    for (std::uint64_t left = bytes; left > 0 && written; left -= std::min(left, kMiB))
        written = write(fd, block.data(), std::min(left, kMiB)) > 0;
    close(fd);
    return written;
}

// Makes, beneath `base`, what a hostile converter leaves: "tree/hidden" (0300) holding 2 MiB,
// "tree/hidden/inner" (0300) holding a file of 4 MiB allocated past its end (size 0), and
// "tree/hidden/inner/locked" (0000). Then checks, as whoever runs it, that a plain remove_all
// fails where permissions bind (not for root), that bytesHeld() counts all 6 MiB and that
// removeTree() leaves nothing. Returns the first failure, or "".
std::string hostileTreeScenario(const fs::path& base) {
    const fs::path tree = base / "tree";
    umask(0);
    if (mkdir(tree.c_str(), 0700) != 0 || mkdir((tree / "hidden").c_str(), 0300) != 0 ||
        mkdir((tree / "hidden" / "inner").c_str(), 0300) != 0)
        return "cannot make the folders";
    if (!writeFile(tree / "hidden" / "written", 2 * kMiB)) return "cannot write";
    const int fd = open((tree / "hidden" / "inner" / "allocated").c_str(),
                        O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, 4 * kMiB) != 0) return "cannot allocate";
    close(fd);
    if (mkdir((tree / "hidden" / "inner" / "locked").c_str(), 0) != 0) return "cannot lock";

    if (geteuid() != 0) {
        std::error_code error;
        fs::remove_all(tree, error);
        if (!error) return "remove_all removed an unlistable folder: the scenario proves nothing";
    }
    const std::uint64_t held = bytesHeld(tree);
    if (held < 6 * kMiB) return "counted " + std::to_string(held) + " bytes, fewer than 6 MiB";
    if (held > 7 * kMiB) return "counted " + std::to_string(held) + " bytes, more than 7 MiB";
    if (const auto error = removeTree(tree)) return "removeTree: " + error.message();
    if (fs::exists(tree)) return "the tree is still there";
    return "";
}

class FileTree : public ::testing::Test {
protected:
    FileTree() {
        char pattern[] = "/tmp/vorrel-filetree-XXXXXX";
        base_ = mkdtemp(pattern);
        chmod(base_.c_str(), 0777);  // another user's scenario runs in it
    }
    ~FileTree() override {
        std::error_code ignored;
        removeTree(base_);
    }
    fs::path base_;
};

TEST_F(FileTree, CountsAndRemovesWhatItsOwnerMadeUnreadable) {
    EXPECT_EQ(hostileTreeScenario(base_), "");
}

// Root passes every permission check, so the case that matters, a user's own folders it may
// not list, runs as another user in a child of its own.
TEST_F(FileTree, AnOrdinaryUserRemovesAndCountsFoldersItMadeUnreadable) {
    if (geteuid() != 0) {
        EXPECT_EQ(hostileTreeScenario(base_), "");  // the test's own user is ordinary
        return;
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const gid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
                setresuid(nobody, nobody, nobody) != 0)
                _exit(2);
            const std::string failure = hostileTreeScenario(base_);
            if (!failure.empty()) fprintf(stderr, "%s\n", failure.c_str());
            _exit(failure.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FileTree, OpenFilesWithoutANameAreCounted) {
    const fs::path file = base_ / "removed";
    ASSERT_TRUE(writeFile(file, 3 * kMiB));
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const int again = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(openDeletedBytes(getpid()), 0u);  // it still has its name
    fs::remove(file);
    EXPECT_GE(openDeletedBytes(getpid()), 3 * kMiB);
    EXPECT_LT(openDeletedBytes(getpid()), 4 * kMiB);  // open twice, counted once
    close(fd);
    close(again);
    EXPECT_EQ(openDeletedBytes(getpid()), 0u);
}

TEST_F(FileTree, AMissingPathIsNoError) {
    EXPECT_FALSE(removeTree(base_ / "nothing"));
    EXPECT_EQ(bytesHeld(base_ / "nothing"), 0u);
}

}  // namespace
}  // namespace vorrel::platform
