#include "settings/Suite.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/ValueJson.h"
#include "support/TempHome.h"

extern char** environ;

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

Date dateFromNanoseconds(std::int64_t nanoseconds) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::nanoseconds(nanoseconds)));
}

// Every kind, with the values that are easy to get wrong in a text format.
Dictionary everyKind() {
    return Dictionary{
        {"false", Value(false)},
        {"true", Value(true)},
        {"int min", Value(std::numeric_limits<std::int64_t>::min())},
        {"int max", Value(std::numeric_limits<std::int64_t>::max())},
        {"int minus one", Value(std::int64_t{-1})},
        {"unsigned small", Value(std::uint64_t{5})},
        {"unsigned max", Value(std::numeric_limits<std::uint64_t>::max())},
        {"double whole", Value(1.0)},
        {"double tenth", Value(0.1)},
        {"double huge", Value(1e300)},
        {"double tiny", Value(5e-324)},
        {"double infinity", Value(-std::numeric_limits<double>::infinity())},
        {"string", Value("line one\nline \"two\"\t\u00e9\u4e2d\U0001F600")},
        {"string empty", Value("")},
        {"string not utf8", Value(std::string("a\xff\xc3(b", 5))},
        {"bytes empty", Value(Bytes{})},
        {"bytes one", Value(Bytes{0x00})},
        {"bytes two", Value(Bytes{0xff, 0x10})},
        {"bytes three", Value(Bytes{0xfb, 0xff, 0xbf})},
        {"date", Value(dateFromNanoseconds(1'796'000'123'456'789'012))},
        {"date before 1970", Value(dateFromNanoseconds(-1'500'000'001))},
        {"date last", Value(dateFromNanoseconds(std::numeric_limits<std::int64_t>::max()))},
        {"date first", Value(dateFromNanoseconds(std::numeric_limits<std::int64_t>::min()))},
        {"array", Value(Array{Value(1), Value("x"), Value(Array{}), Value(Dictionary{})})},
        {"dictionary", Value(Dictionary{{"$date", Value("not a date")},
                                        {"$$x", Value(2.5)},
                                        {"$bytes", Value(Bytes{1, 2, 3})},
                                        {"nested", Value(Dictionary{{"a", Value(true)}})}})},
        {"$unsigned", Value("a user key that looks like a tag")},
        {"key with / and \n newline \u00fc", Value(std::int64_t{7})},
        {"key not utf8 \xff", Value(Dictionary{{"inner \xc3(", Value(1)}})},
    };
}

TEST(Suite, EveryKindSurvivesTheFile) {
    test::TempHome home;
    auto suite = Suite::open("kinds");
    const Dictionary values = everyKind();
    for (const auto& [key, value] : values) suite->setObject(value, key);
    suite->setObject(Value(std::numeric_limits<double>::quiet_NaN()), "nan");

    // A fresh reader: the file copied under another suite name is read from disk.
    fs::copy_file(suite->filePath(), suite->filePath().parent_path() / "copy.json");
    auto copy = Suite::open("copy");
    for (const auto& [key, value] : values) {
        const auto read = copy->objectForKey(key);
        ASSERT_TRUE(read) << key;
        EXPECT_EQ(read->kind(), value.kind()) << key;
        EXPECT_EQ(*read, value) << key;
    }
    const auto nan = copy->objectForKey("nan");
    ASSERT_TRUE(nan && nan->get<double>());
    EXPECT_TRUE(std::isnan(*nan->get<double>()));
    EXPECT_EQ(copy->dictionaryRepresentation().size(), values.size() + 1);
}

TEST(Suite, RegisteredDefaultsAreSharedAndConsultedLast) {
    test::TempHome home;
    auto first = Suite::open("defaults");
    auto second = Suite::open("defaults");
    first->registerDefaults({{"flag", Value(false)}, {"count", Value(3)}});
    EXPECT_EQ(second->objectForKey("flag"), Value(false));
    EXPECT_EQ(second->objectForKey("other"), std::nullopt);

    second->setObject(Value(true), "flag");
    EXPECT_EQ(first->objectForKey("flag"), Value(true));
    const Dictionary all = first->dictionaryRepresentation();
    EXPECT_EQ(all, (Dictionary{{"flag", Value(true)}, {"count", Value(3)}}));

    first->removeObject("flag");
    EXPECT_EQ(second->objectForKey("flag"), Value(false));
    // Defaults are never written to the file.
    EXPECT_EQ(decodeDictionaryJson(test::readFile(first->filePath())), Dictionary{});
}

TEST(Suite, RejectsNamesThatAreNotFileNames) {
    for (const char* name : {"", ".", "..", "a/b", "/abs"})
        EXPECT_THROW(Suite::open(name), std::invalid_argument) << name;
    EXPECT_NO_THROW(Suite::open("QX.group.com.quarnix.Vorrel"));
}

TEST(Suite, FollowsTheEnvironmentAtEveryOperation) {
    test::TempHome home;
    auto suite = Suite::open("moving");
    suite->setObject(Value("first"), "k");
    const fs::path firstFile = suite->filePath();
    EXPECT_EQ(firstFile, home.configHome() / "vorrel" / "moving.json");

    setenv("XDG_CONFIG_HOME", (home.root() / "elsewhere").c_str(), 1);
    EXPECT_EQ(suite->objectForKey("k"), std::nullopt);
    suite->setObject(Value("second"), "k");
    EXPECT_EQ(suite->filePath(), home.root() / "elsewhere" / "vorrel" / "moving.json");

    setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    EXPECT_EQ(suite->filePath(), home.root() / ".config" / "vorrel" / "moving.json");

    setenv("XDG_CONFIG_HOME", home.configHome().c_str(), 1);
    EXPECT_EQ(suite->objectForKey("k"), Value("first"));
}

TEST(Suite, WithoutABaseFolderOnlyTheRegistrationDomainAnswers) {
    test::TempHome home;
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    auto suite = Suite::open("nowhere");
    suite->registerDefaults({{"k", Value(1)}});
    int calls = 0;
    suite->addObserver("k", [&](Suite&, const std::string&, const std::optional<Value>&,
                                const std::optional<Value>&) { ++calls; });
    suite->setObject(Value(2), "k");
    EXPECT_EQ(suite->objectForKey("k"), Value(1));
    EXPECT_EQ(suite->filePath(), fs::path());
    EXPECT_EQ(calls, 0);
}

TEST(Suite, SeesWritesMadeBehindItsBack) {
    test::TempHome home;
    auto suite = Suite::open("external");
    suite->setObject(Value(1), "k");
    EXPECT_EQ(suite->objectForKey("k"), Value(1));
    // Another program replaces the file the way the suite does: new file, then rename.
    const fs::path temp = home.write("config/vorrel/new.tmp", R"({"k": 2, "other": "x"})");
    fs::rename(temp, suite->filePath());
    EXPECT_EQ(suite->objectForKey("k"), Value(2));
    // And a write keeps what the other program added.
    suite->setObject(Value(3), "k");
    EXPECT_EQ(decodeDictionaryJson(test::readFile(suite->filePath())),
              (Dictionary{{"k", Value(3)}, {"other", Value("x")}}));
}

// A reader never moves a damaged file; the next writer sets it aside (keeping its bytes)
// before writing what could be read plus its change.
TEST(Suite, ADamagedFileIsSetAsideOnlyByAWriter) {
    test::TempHome home;
    auto suite = Suite::open("corrupt");
    const fs::path folder = home.configHome() / "vorrel";
    // The last one nests deeper than any reader may follow (it used to exhaust the stack).
    const std::vector<std::string> contents = {"{\"k\": tru", "[1, 2]", "{\"k\": {\"$date\": 5}}",
                                               std::string("\0\1\2", 3),
                                               "{\"k\": " + std::string(100'000, '[') + std::string(100'000, ']') + "}"};
    for (const auto& bytes : contents) {
        home.write("config/vorrel/corrupt.json", bytes);
        EXPECT_EQ(suite->objectForKey("k"), std::nullopt);
        EXPECT_EQ(test::readFile(suite->filePath()), bytes);
        EXPECT_TRUE(suite->readProblem());
        EXPECT_FALSE(suite->setObject(Value(true), "w"));
        EXPECT_EQ(decodeDictionaryJson(test::readFile(suite->filePath())), (Dictionary{{"w", Value(true)}}));
        EXPECT_FALSE(suite->readProblem());
        fs::remove(suite->filePath());
    }
    // One set-aside file per damaged version, none overwritten, each with its bytes.
    std::vector<std::string> keptBytes;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("corrupt.json.corrupt-"))
            keptBytes.push_back(test::readFile(entry.path()));
    std::sort(keptBytes.begin(), keptBytes.end());
    auto expected = contents;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keptBytes, expected);
}

TEST(Suite, ObserversGetOldAndNewValuesFromAnyHandle) {
    test::TempHome home;
    auto writer = Suite::open("observed");
    auto watcher = Suite::open("observed");
    watcher->registerDefaults({{"k", Value(false)}});

    struct Call {
        Suite* handle;
        std::string key;
        std::optional<Value> oldValue, newValue;
    };
    std::vector<Call> calls;
    const auto id = watcher->addObserver(
        "k", [&](Suite& suite, const std::string& key, const std::optional<Value>& oldValue,
                 const std::optional<Value>& newValue) {
            calls.push_back({&suite, key, oldValue, newValue});
        });
    writer->setObject(Value(true), "k");
    writer->setObject(Value(1), "unwatched");
    writer->removeObject("k");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].handle, writer.get());
    EXPECT_EQ(calls[0].key, "k");
    EXPECT_EQ(calls[0].oldValue, Value(false));
    EXPECT_EQ(calls[0].newValue, Value(true));
    EXPECT_EQ(calls[1].oldValue, Value(true));
    EXPECT_EQ(calls[1].newValue, Value(false));

    watcher->removeObserver(id);
    writer->setObject(Value(true), "k");
    EXPECT_EQ(calls.size(), 2u);
}

TEST(Suite, ObserversMayChangeObserversAndEndWithTheirHandle) {
    test::TempHome home;
    auto writer = Suite::open("reentrant");
    int selfRemoving = 0, withHandle = 0;
    Suite::ObserverId id = 0;
    id = writer->addObserver("k", [&](Suite& suite, const std::string&, const std::optional<Value>&,
                                      const std::optional<Value>&) {
        ++selfRemoving;
        suite.removeObserver(id);
        suite.addObserver("other", [](Suite&, const std::string&, const std::optional<Value>&,
                                      const std::optional<Value>&) {});
    });
    {
        auto temporary = Suite::open("reentrant");
        temporary->addObserver("k", [&](Suite&, const std::string&, const std::optional<Value>&,
                                        const std::optional<Value>&) { ++withHandle; });
        writer->setObject(Value(1), "k");
    }
    writer->setObject(Value(2), "k");
    EXPECT_EQ(selfRemoving, 1);
    EXPECT_EQ(withHandle, 1);
}

TEST(Suite, ConcurrentThreadsLoseNoKeys) {
    test::TempHome home;
    constexpr int kThreads = 4, kKeys = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            auto suite = Suite::open("threads");
            for (int i = 0; i < kKeys; ++i) {
                suite->setObject(Value(i), std::to_string(t) + "-" + std::to_string(i));
                (void)suite->objectForKey(std::to_string(t) + "-0");
            }
        });
    for (auto& thread : threads) thread.join();
    const auto stored = decodeDictionaryJson(test::readFile(Suite::open("threads")->filePath()));
    EXPECT_EQ(stored.size(), static_cast<std::size_t>(kThreads * kKeys));
}

pid_t spawnWriter(const std::string& prefix, int count, const std::string& suiteName = "processes",
                  bool withoutDacOverride = false) {
    std::vector<std::string> arguments = {VORREL_SUITE_WRITER, suiteName, prefix, std::to_string(count)};
    if (withoutDacOverride) arguments.push_back("--without-dac-override");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    EXPECT_EQ(error, 0) << std::strerror(error);
    return pid;
}

TEST(Suite, TwoProcessesWritingOneSuiteLoseNothing) {
    test::TempHome home;
    constexpr int kCount = 500;
    const pid_t first = spawnWriter("a", kCount);
    const pid_t second = spawnWriter("b", kCount);
    for (pid_t pid : {first, second}) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto suite = Suite::open("processes");
    const Dictionary all = suite->dictionaryRepresentation();
    EXPECT_EQ(all.size(), 2u * kCount);
    for (int i = 0; i < kCount; ++i)
        for (const char* prefix : {"a-", "b-"})
            EXPECT_EQ(suite->objectForKey(prefix + std::to_string(i)), Value(i)) << prefix << i;
}

int exitStatus(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// A settings file whose contents cannot be known, or that its owner made read-only, is
// never replaced by a write: the write fails and says why, the file keeps every byte, and
// nobody is told of a change.
TEST(Suite, AFileItCannotReadOrMayNotReplaceIsLeftAsItIs) {
    test::TempHome home;
    const std::string original = "{\n  \"other\": \"kept\"\n}\n";
    const fs::path file = home.write("config/vorrel/guarded.json", original);
    auto suite = Suite::open("guarded");
    int notified = 0;
    suite->addObserver("k", [&](Suite&, const std::string&, const std::optional<Value>&,
                                const std::optional<Value>&) { ++notified; });

    // Read-only: the permission bits say no, also to a process that could override them.
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto failure = suite->setObject(Value(true), "k");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->file, file);
    EXPECT_EQ(failure->message, "Permission denied");
    EXPECT_TRUE(suite->removeObject("other"));  // a removal is a write too
    EXPECT_EQ(test::readFile(file), original);
    EXPECT_EQ(suite->objectForKey("other"), Value("kept"));

    // Unreadable: a process that cannot read the file must not replace it with what it
    // knows (here, another process without root's power to override permissions).
    fs::permissions(file, fs::perms::none);
    const pid_t writer = spawnWriter("k", 1, "guarded", /*withoutDacOverride=*/true);
    EXPECT_EQ(exitStatus(writer), 3);  // its write was refused
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(test::readFile(file), original);

    // Not a file at all.
    fs::remove(file);
    fs::create_directory(file);
    failure = suite->setObject(Value(true), "k");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message, "it is not a regular file");
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_TRUE(fs::is_empty(file));
    EXPECT_EQ(notified, 0);

    // Once the file can be written again, writes work as before.
    fs::remove(file);
    EXPECT_FALSE(suite->setObject(Value(true), "k"));
    EXPECT_EQ(notified, 1);
}

}  // namespace
}  // namespace vorrel::platform
