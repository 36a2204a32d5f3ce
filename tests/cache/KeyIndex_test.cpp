// The key index file: exact identities, damage, its bound, and processes recording at once.
#include "cache/KeyIndex.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;

const FileIdentity kFile{.device = 2049, .inode = 77, .size = 1234, .modifiedNs = 1'700'000'000'123'456'789,
                         .changedNs = 1'700'000'000'223'456'789};

std::string key(char digit) { return std::string(64, digit); }

class KeyIndexTest : public ::testing::Test {
protected:
    test::TempHome home_;
    fs::path file_ = home_.root() / "keys.index";
};

TEST_F(KeyIndexTest, OnlyTheExactIdentityFindsItsKey) {
    KeyIndex index(file_, 16);
    index.record(kFile, key('a'), 42);
    const auto found = index.find(kFile);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->key, key('a'));
    EXPECT_EQ(found->computedAtNs, 42);

    // Any field that differs is another file, or the same file changed.
    const auto differs = [](auto change) {
        FileIdentity other = kFile;
        change(other);
        return other;
    };
    for (const FileIdentity& other :
         {differs([](auto& f) { ++f.device; }), differs([](auto& f) { ++f.inode; }),
          differs([](auto& f) { ++f.size; }), differs([](auto& f) { ++f.modifiedNs; }),
          differs([](auto& f) { ++f.changedNs; })})
        EXPECT_FALSE(index.find(other));

    // A new key for the same inode replaces the old one.
    FileIdentity changed = kFile;
    changed.changedNs += 1;
    index.record(changed, key('b'), 43);
    EXPECT_FALSE(index.find(kFile));
    EXPECT_EQ(index.find(changed)->key, key('b'));
}

TEST_F(KeyIndexTest, ADamagedIndexReadsAsEmptyAndIsRebuilt) {
    KeyIndex index(file_, 16);
    index.record(kFile, key('a'), 42);
    std::string whole;
    std::getline(std::ifstream(file_), whole, '\0');
    for (const std::string& damaged :
         {whole.substr(0, whole.size() - 10), std::string("garbage\n"), whole + "1 2 3\n",
          std::string(whole).replace(whole.find(key('a')), 1, "a a")}) {
        SCOPED_TRACE(damaged);
        std::ofstream(file_, std::ios::trunc) << damaged;
        EXPECT_FALSE(index.find(kFile));
        FileIdentity other = kFile;
        other.inode = 78;
        index.record(other, key('c'), 44);
        EXPECT_EQ(index.find(other)->key, key('c'));
    }
}

// A FIFO at the index path, or a lock another program holds for ever, must not hang a preview:
// the look-up finds nothing and the record is skipped.
TEST_F(KeyIndexTest, AFifoOrALockHeldForEverHangsNothing) {
    ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
    KeyIndex index(file_, 16);
    EXPECT_FALSE(index.find(kFile));
    fs::remove(file_);

    const int holder = open((file_.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    index.record(kFile, key('b'), 1);
    EXPECT_FALSE(index.find(kFile));
    close(holder);
    index.record(kFile, key('b'), 1);
    EXPECT_TRUE(index.find(kFile));
}

TEST_F(KeyIndexTest, KeepsTheNewestEntriesWithinItsBound) {
    KeyIndex index(file_, 3);
    for (std::uint64_t inode = 1; inode <= 5; ++inode) {
        FileIdentity file = kFile;
        file.inode = inode;
        index.record(file, key('0' + static_cast<char>(inode)), 1);
    }
    for (std::uint64_t inode = 1; inode <= 5; ++inode) {
        FileIdentity file = kFile;
        file.inode = inode;
        EXPECT_EQ(index.find(file).has_value(), inode > 2) << inode;
    }
}

TEST_F(KeyIndexTest, ProcessesRecordingAtOnceLoseNoEntry) {
    constexpr int kProcesses = 4, kEach = 40;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            KeyIndex index(file_, 1000);
            for (int i = 0; i < kEach; ++i) {
                FileIdentity file = kFile;
                file.inode = static_cast<std::uint64_t>(process * kEach + i);
                index.record(file, key('f'), i);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0);
    }
    KeyIndex index(file_, 1000);
    int found = 0;
    for (int inode = 0; inode < kProcesses * kEach; ++inode) {
        FileIdentity file = kFile;
        file.inode = static_cast<std::uint64_t>(inode);
        found += index.find(file).has_value();
    }
    EXPECT_EQ(found, kProcesses * kEach);
}

}  // namespace
}  // namespace vorrel::platform
