// The settings file as users and other programs leave it: not a file, too large, damaged,
// half-written, behind a link, with leftovers of killed writers.
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/Suite.h"
#include "settings/ValueJson.h"
#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;

// Collects what the suites report, for the life of the object.
class Reports {
public:
    Reports() {
        Suite::setReporter([this](const std::string& message) {
            std::lock_guard lock(mutex_);
            messages_.push_back(message);
        });
    }
    ~Reports() { Suite::setReporter(nullptr); }
    std::vector<std::string> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

std::vector<std::string> namesStartingWith(const fs::path& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& name : test::entries(folder))
        if (name.starts_with(prefix)) names.push_back(name);
    return names;
}

// Something that is not a small regular file at the settings path is neither waited for,
// nor read whole, nor replaced: the reader answers the defaults and says what is wrong.
TEST(SuiteFiles, AnythingButASmallRegularFileIsRefusedAtOnceAndKept) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "it is not a regular file"},
        {"link to /dev/zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         "it is not a regular file"},
        {"2 MiB file",
         [](const fs::path& p) {
             std::ofstream(p) << "{\"k\": \"" << std::string(2 << 20, 'x') << "\"}";
         },
         "it is larger than 1 MiB"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        test::TempHome home;
        Reports reports;
        auto suite = Suite::open("kinds");
        suite->registerDefaults({{"k", Value(false)}});
        fs::create_directories(suite->filePath().parent_path());
        item.make(suite->filePath());
        const auto before = fs::symlink_status(suite->filePath()).type();

        EXPECT_EQ(suite->objectForKey("k"), Value(false));
        const auto problem = suite->readProblem();
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->file, suite->filePath());
        EXPECT_EQ(problem->message, item.problem);
        const auto failure = suite->setObject(Value(true), "k");
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->message, item.problem);
        EXPECT_EQ(fs::symlink_status(suite->filePath()).type(), before);
        ASSERT_EQ(reports.messages().size(), 2u);  // the problem once, the refused write
        EXPECT_NE(reports.messages()[0].find("\"" + suite->filePath().string() + "\""), std::string::npos);
    }
}

// Each damaged value costs its own key only; the file stays where it is and the damage is
// reported once, however often the file is read.
TEST(SuiteFiles, ABadValueLosesOnlyItsKeyAndIsReportedOnce) {
    struct Case {
        std::string text;
        std::string problem;
    };
    const std::string good = "\"good\": 1";
    const std::vector<Case> cases = {
        {"{" + good + ", \"bad\": null}", "the value of \"bad\" cannot be read (JSON null or binary has no value kind)"},
        {"{" + good + ", \"bad\": NaN}", "the value of \"bad\" is not valid JSON"},
        {"{" + good + ", \"bad\": 1e400}", "the value of \"bad\" is not valid JSON"},
        {"{" + good + ", // a note\n \"bad\": 2}", "comments are not allowed and were ignored"},
        {"{" + good + ", \"bad\": 2} and more", "text after the closing brace was ignored"},
        {"{" + good + ", \"bad\": {\"$date\": \"9999-01-01T00:00:00Z\"}}",
         "the value of \"bad\" cannot be read ($date holds an invalid date)"},
        {"{" + good + ", \"bad\": \"\xff\"}", "the value of \"bad\" is not valid JSON"},
        {"", "the file is empty"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.text);
        test::TempHome home;
        Reports reports;
        auto suite = Suite::open("values");
        const fs::path file = home.write("config/vorrel/values.json", item.text);
        for (int read = 0; read < 3; ++read)
            EXPECT_EQ(suite->objectForKey("good"), item.text.empty() ? std::nullopt : std::optional(Value(1)));
        ASSERT_EQ(reports.messages().size(), 1u);
        EXPECT_NE(reports.messages()[0].find(item.problem), std::string::npos) << reports.messages()[0];
        EXPECT_EQ(test::readFile(file), item.text);
        EXPECT_EQ(namesStartingWith(file.parent_path(), "values.json.corrupt-").size(), 0u);
    }
}

// An editor saving in place (truncate, then write) while previews read: no reader moves
// the file, and the saved value is what they read in the end.
TEST(SuiteFiles, AnEditorSavingInPlaceRacesReadersWithoutLosingTheSave) {
    test::TempHome home;
    Reports reports;
    const fs::path file = home.write("config/vorrel/edited.json", "{\"transparentBackground\": false}");
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            auto suite = Suite::open("edited");
            while (!done) (void)suite->objectForKey("transparentBackground");
        });
    for (int save = 0; save < 200; ++save) {
        const std::string text = std::string("{\"transparentBackground\": ") + (save % 2 ? "true" : "false") + "}";
        const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
        ASSERT_GE(fd, 0);
        for (char c : text) ASSERT_EQ(::write(fd, &c, 1), 1);
        ::close(fd);
    }
    done = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(Suite::open("edited")->objectForKey("transparentBackground"), Value(true));
    EXPECT_EQ(namesStartingWith(file.parent_path(), "edited.json.corrupt-").size(), 0u);
}

// A dotfiles manager's link stays a link; the file it names gets the change.
TEST(SuiteFiles, ALinkedSettingsFileIsUpdatedThroughTheLink) {
    test::TempHome home;
    const fs::path target = home.write("dotfiles/linked.json", "{\"kept\": true}");
    auto suite = Suite::open("linked");
    fs::create_directories(suite->filePath().parent_path());
    fs::create_symlink(target, suite->filePath());
    ASSERT_FALSE(suite->setObject(Value(2), "k"));
    EXPECT_TRUE(fs::is_symlink(suite->filePath()));
    EXPECT_EQ(decodeDictionaryJson(test::readFile(target)),
              (Dictionary{{"kept", Value(true)}, {"k", Value(2)}}));
}

// Temporary files of killed writers go with the next write once a minute old; a fresh one
// (a write under way elsewhere) stays. The folders a write creates are the user's alone,
// whatever the umask.
TEST(SuiteFiles, TheNextWriterSweepsOldTemporariesAndFoldersArePrivate) {
    test::TempHome home;
    const mode_t previous = ::umask(0);
    auto suite = Suite::open("swept");
    ASSERT_FALSE(suite->setObject(Value(1), "k"));
    ::umask(previous);
    EXPECT_EQ(fs::status(suite->filePath().parent_path()).permissions(), fs::perms::owner_all);

    const fs::path folder = suite->filePath().parent_path();
    const fs::path old = home.write("config/vorrel/.swept.json.AbC123", "{");
    const fs::path fresh = home.write("config/vorrel/.swept.json.XyZ789", "{");
    const fs::path other = home.write("config/vorrel/.other.json.AbC123", "{");
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::minutes(2);
    fs::last_write_time(old, longAgo);
    fs::last_write_time(other, longAgo);
    ASSERT_FALSE(suite->setObject(Value(2), "k"));
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(other));  // another suite's
}

// A lock another program holds for ever fails the write after a bounded wait; readers do
// not wait for it at all.
TEST(SuiteFiles, AHeldLockFailsTheWriteAndNeverStopsReaders) {
    test::TempHome home;
    auto suite = Suite::open("held");
    ASSERT_FALSE(suite->setObject(Value(1), "k"));
    const std::string lockPath = suite->filePath().string() + ".lock";
    const int holder = ::open(lockPath.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_EQ(Suite::open("held")->objectForKey("k"), Value(1));
    const auto failure = suite->setObject(Value(2), "k");
    ::close(holder);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message, "another program holds the settings lock");
    EXPECT_FALSE(suite->setObject(Value(3), "k"));
    EXPECT_EQ(suite->objectForKey("k"), Value(3));
}

}  // namespace
}  // namespace vorrel::platform
