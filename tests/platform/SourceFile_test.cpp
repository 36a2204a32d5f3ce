#include "platform/SourceFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Every way a file can be made to hold other bytes after it was opened shows as a change, and
// reading it does not.
TEST(SourceFile, NoticesEveryChangeToTheFileOrItsPath) {
    test::TempHome home;
    struct Case {
        const char* name;
        void (*change)(const fs::path& file, const fs::path& other);
        bool changed;
    } cases[] = {
        {"read only", [](const fs::path& file, const fs::path&) {
             std::ifstream(file).get();
         }, false},
        {"appended to", [](const fs::path& file, const fs::path&) {
             std::ofstream(file, std::ios::app) << "more";
         }, true},
        {"rewritten in place, same size", [](const fs::path& file, const fs::path&) {
             std::fstream(file, std::ios::in | std::ios::out) << "XY";
         }, true},
        {"truncated", [](const fs::path& file, const fs::path&) { fs::resize_file(file, 1); },
         true},
        {"replaced by a rename", [](const fs::path& file, const fs::path& other) {
             fs::rename(other, file);
         }, true},
        {"linked elsewhere (its change time moves)", [](const fs::path& file, const fs::path& other) {
             fs::create_hard_link(file, other.string() + " link");
         }, true},
        {"rewritten, modification time set back", [](const fs::path& file, const fs::path&) {
             struct stat status {};
             ::stat(file.c_str(), &status);
             const timespec times[2] = {status.st_atim, status.st_mtim};
             std::fstream(file, std::ios::in | std::ios::out) << "XY";
             ::utimensat(AT_FDCWD, file.c_str(), times, 0);
         }, true},
    };
    const auto name = [](const char* what, std::size_t i) { return what + std::to_string(i); };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        home.write(name("file ", i), "ab-original");
        home.write(name("other ", i), "ab-original");
    }
    // Past the tick of the file system's clock, so that a change gets a change time of its own.
    std::this_thread::sleep_for(20ms);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const fs::path file = home.root() / name("file ", i);
        const SourceFile opened(file);
        ASSERT_TRUE(opened.unchanged());
        c.change(file, home.root() / name("other ", i));
        EXPECT_EQ(!opened.unchanged(), c.changed);
    }
}

TEST(SourceFile, ReadsFromTheStartWhateverTheOffsetAndTellsItsAge) {
    test::TempHome home;
    std::string bytes((1 << 20) + 5, 'q');
    bytes[0] = 'A';
    const fs::path file = home.write("big", bytes);
    const SourceFile opened(file);
    EXPECT_TRUE(opened.regular());
    EXPECT_EQ(opened.size(), bytes.size());
    EXPECT_EQ(opened.head(3), "Aqq");
    for (int round = 0; round < 2; ++round) {
        std::string seen;
        opened.readAll([&](std::span<const std::uint8_t> piece) {
            seen.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        });
        EXPECT_EQ(seen, bytes);
    }
    // Just written: not settled for any span of time longer than its age.
    EXPECT_FALSE(opened.settled(1h));
    EXPECT_TRUE(opened.settled(-1h));
    EXPECT_THROW(SourceFile(home.root() / "missing"), std::system_error);
    EXPECT_FALSE(SourceFile(home.root()).regular());
}

}  // namespace
}  // namespace vorrel::platform
