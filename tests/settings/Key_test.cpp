// Keys: defaults and their registration, reads and writes through a suite and through
// Prefs, removal, key equality and the key-name predicate.

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PrefsTestSupport.h"
#include "settings/Prefs.h"

namespace labels {
struct Label {
    std::string text;
};
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Label, text)
}  // namespace labels

namespace vorrel {
namespace {

using Prefs::Object;

class KeyTest : public test::PrefsTest {};

TEST_F(KeyTest, BooleanKeyReadsDefaultThenWrittenValueThenDefaultAfterReset) {
    Prefs::Key<bool> key("flag", suite, false);
    EXPECT_FALSE(Prefs::get(key));
    EXPECT_TRUE(key.isDefaultValue());
    Prefs::set(key, true);
    EXPECT_TRUE(Prefs::get(key));
    EXPECT_TRUE(Prefs::get(*suite, key));
    EXPECT_FALSE(key.isDefaultValue());
    EXPECT_EQ(suite->objectForKey("flag"), std::optional<Object>(Object(true)));
    key.reset();
    EXPECT_FALSE(Prefs::get(key));
    EXPECT_EQ(suite->objectForKey("flag"), std::optional<Object>(Object(false)));  // the registered default
}

// "transparentBackground": "yes" written by hand reads as the default, and says so once.
TEST_F(KeyTest, AStoredValueOfTheWrongKindReadsAsTheDefaultAndIsReportedOnce) {
    std::vector<std::string> reports;
    platform::Suite::setReporter([&](const std::string& message) { reports.push_back(message); });
    Prefs::Key<bool> key("transparentBackground", suite, true);
    suite->setObject(Object("yes"), "transparentBackground");
    for (int read = 0; read < 3; ++read) EXPECT_TRUE(Prefs::get(key));
    platform::Suite::setReporter(nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("the value of \"transparentBackground\" is a text, which that setting "
                              "cannot take; its default is used"),
              std::string::npos)
        << reports[0];
    ASSERT_TRUE(suite->readProblem());
    EXPECT_NE(suite->readProblem()->message.find("transparentBackground"), std::string::npos);
}

TEST_F(KeyTest, FixedDefaultIsRegisteredForEveryHandleOfTheSuite) {
    EXPECT_FALSE(suite->objectForKey("count"));
    Prefs::Key<int> key("count", suite, 12);
    EXPECT_EQ(suite->objectForKey("count"), std::optional<Object>(Object(12)));
    auto otherHandle = platform::Suite::open(suite->name());
    EXPECT_EQ(otherHandle->objectForKey("count"), std::optional<Object>(Object(12)));
    EXPECT_FALSE(std::filesystem::exists(suite->filePath()));  // registered, not stored
}

TEST_F(KeyTest, DefaultsThatStoreNothingAreNotRegistered) {
    Prefs::Key<std::optional<int>> none("none", suite);
    Prefs::Key<std::optional<int>> nil("nil", suite, std::optional<int>());
    Prefs::Key<std::optional<int>> five("five", suite, std::optional<int>(5));
    Prefs::Key<std::string> text("text", suite, [] { return std::string("closure"); });
    testing::internal::CaptureStdout();
    Prefs::Key<labels::Label> bad("bad", suite, labels::Label{"\xff"});
    (void)testing::internal::GetCapturedStdout();

    EXPECT_FALSE(suite->objectForKey("none"));
    EXPECT_FALSE(suite->objectForKey("nil"));
    EXPECT_EQ(suite->objectForKey("five"), std::optional<Object>(Object(5)));
    EXPECT_FALSE(suite->objectForKey("text"));
    EXPECT_FALSE(suite->objectForKey("bad"));
    // The key itself still answers its default.
    EXPECT_EQ(Prefs::get(none), std::nullopt);
    EXPECT_EQ(Prefs::get(five), std::optional<int>(5));
    EXPECT_EQ(Prefs::get(text), "closure");
    EXPECT_EQ(Prefs::get(bad).text, "\xff");
}

TEST_F(KeyTest, ClosureDefaultIsCalledOnEveryReadUntilSomethingIsStored) {
    int calls = 0;
    Prefs::Key<int> key("counter", suite, [&calls] { return ++calls; });
    EXPECT_EQ(Prefs::get(key), 1);
    EXPECT_EQ(Prefs::get(key), 2);
    EXPECT_EQ(calls, 2);

    suite->setObject(Object("not a number"), "counter");  // stored but unusable
    EXPECT_EQ(Prefs::get(key), 3);

    Prefs::set(key, 40);
    EXPECT_EQ(Prefs::get(key), 40);
    EXPECT_EQ(Prefs::get(key), 40);
    EXPECT_EQ(calls, 3);
}

TEST_F(KeyTest, WritingAnEmptyOptionalRemovesTheStoredObject) {
    Prefs::Key<std::optional<std::string>> key("name", suite, std::optional<std::string>("fallback"));
    Prefs::set(key, std::optional<std::string>("stored"));
    EXPECT_EQ(suite->objectForKey("name"), std::optional<Object>(Object("stored")));
    Prefs::set(key, std::nullopt);
    EXPECT_EQ(suite->objectForKey("name"), std::optional<Object>(Object("fallback")));  // registered
    EXPECT_EQ(Prefs::get(key), std::optional<std::string>("fallback"));
    EXPECT_EQ(platform::Suite::open(suite->name())->dictionaryRepresentation().count("name"), 1u);

    Prefs::Key<std::optional<int>> plain("plain", suite);
    Prefs::set(plain, 3);
    Prefs::set(plain, std::nullopt);
    EXPECT_FALSE(suite->objectForKey("plain"));
}

TEST_F(KeyTest, ModifyReadsChangesAndWritesBack) {
    Prefs::Key<std::vector<int>> list("list", suite, std::vector<int>{1});
    Prefs::modify(list, [](std::vector<int>& v) { v.push_back(2); });
    Prefs::modify(*suite, list, [](std::vector<int>& v) { v.push_back(3); });
    EXPECT_EQ(Prefs::get(list), (std::vector<int>{1, 2, 3}));
    Prefs::Key<bool> flag("flag", suite, false);
    Prefs::modify(flag, [](bool& v) { v = !v; });
    EXPECT_TRUE(Prefs::get(flag));
}

TEST_F(KeyTest, SubscriptOnASuiteUsesThatSuiteNotTheKeys) {
    auto other = platform::Suite::open(suite->name() + ".other");
    Prefs::Key<int> key("n", suite, 1);
    Prefs::set(*other, key, 5);
    EXPECT_EQ(Prefs::get(*other, key), 5);
    EXPECT_EQ(Prefs::get(key), 1);
    EXPECT_FALSE(std::filesystem::exists(suite->filePath()));
}

TEST_F(KeyTest, ResetAndRemoveAllRemoveStoredObjects) {
    auto other = platform::Suite::open(suite->name() + ".other");
    Prefs::Key<int> a("a", suite, 1);
    Prefs::Key<int> b("b", other, 2);
    Prefs::Key<int> c("c", suite, 3);
    Prefs::set(a, 10);
    Prefs::set(b, 20);
    Prefs::set(c, 30);
    Prefs::reset({a, b});
    EXPECT_EQ(Prefs::get(a), 1);
    EXPECT_EQ(Prefs::get(b), 2);
    EXPECT_EQ(Prefs::get(c), 30);

    suite->setObject(Object("x"), "d");
    Prefs::reset({"c", "d"}, *suite);
    EXPECT_EQ(Prefs::get(c), 3);
    EXPECT_FALSE(suite->objectForKey("d"));

    Prefs::set(a, 11);
    Prefs::set(b, 21);
    suite->setObject(Object("y"), "e");
    Prefs::removeAll(*suite);
    EXPECT_EQ(suite->dictionaryRepresentation(), (platform::Dictionary{{"a", Object(1)}, {"c", Object(3)}}));
    EXPECT_EQ(Prefs::get(b), 21);
}

TEST_F(KeyTest, KeysAreEqualByNameAndSuiteObject) {
    auto sameName = platform::Suite::open(suite->name());
    Prefs::Key<bool> a("k", suite, false);
    Prefs::Key<int> b("k", suite, 0);
    Prefs::Key<bool> c("k", sameName, false);
    Prefs::Key<bool> d("j", suite, false);
    EXPECT_EQ(Prefs::AnyKey(a), Prefs::AnyKey(b));
    EXPECT_NE(Prefs::AnyKey(a), Prefs::AnyKey(c));
    EXPECT_NE(Prefs::AnyKey(a), Prefs::AnyKey(d));
    std::unordered_set<Prefs::AnyKey> keys{a, b, c, d};
    EXPECT_EQ(keys.size(), 3u);
}

TEST(KeyPathTest, NamesStartingWithAtOrHoldingDotsOrNonAsciiAreNotKeyPaths) {
    struct Case {
        const char* name;
        bool valid;
    } cases[] = {
        {"transparentBackground", true}, {"logToFile", true}, {"", true},       {"with space", true},
        {"a@b", true},                   {"@count", false},   {"a.b", false},   {".", false},
        {"caf\xc3\xa9", false},          {"\x7f", true},      {"x\x80", false},
    };
    for (const auto& c : cases) EXPECT_EQ(Prefs::isValidKeyPath(c.name), c.valid) << c.name;
}

}  // namespace
}  // namespace vorrel
