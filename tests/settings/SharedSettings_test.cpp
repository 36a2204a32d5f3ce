// The shared suite and its two keys: one suite per process named by the app group, keys
// with default false registered as soon as they exist.

#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/Suite.h"
#include "settings/Prefs.h"
#include "platform/AppGroup.h"
#include "settings/SharedSettings.h"
#include "support/TempHome.h"

namespace vorrel {
namespace {

TEST(SharedSettingsTest, OneSuiteNamedByTheAppGroupForEveryCallerAndThread) {
    test::TempHome home;
    std::vector<const platform::Suite*> seen(8);
    std::vector<const Prefs::Key<bool>*> keys(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] {
            seen[i] = sharedSuite().get();
            keys[i] = i % 2 ? &transparentBackground() : &logToFile();
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::set<const platform::Suite*>(seen.begin(), seen.end()).size(), 1u);
    EXPECT_EQ(std::set<const Prefs::Key<bool>*>(keys.begin(), keys.end()).size(), 2u);
    EXPECT_EQ(sharedSuite()->name(), appGroupIdentifier());
    EXPECT_EQ(sharedSuite()->name(), "TESTTEAM.group.com.quarnix.Vorrel");
    EXPECT_EQ(sharedSuite()->filePath(), home.configHome() / "vorrel" / (appGroupIdentifier() + ".json"));
    EXPECT_EQ(transparentBackground().suite(), sharedSuite());
    EXPECT_EQ(logToFile().suite(), sharedSuite());
}

TEST(SharedSettingsTest, KeysReadFalseUntilWrittenAlsoThroughThePlainSuite) {
    test::TempHome home;
    auto plain = platform::Suite::open(appGroupIdentifier());
    for (const auto* key : {&transparentBackground(), &logToFile()}) {
        SCOPED_TRACE(key->name());
        EXPECT_FALSE(Prefs::get(*key));
        EXPECT_FALSE(key->defaultValue());
        EXPECT_EQ(plain->objectForKey(key->name()), std::optional<platform::Value>(false));

        Prefs::set(*key, true);
        EXPECT_TRUE(Prefs::get(*sharedSuite(), *key));
        EXPECT_EQ(plain->objectForKey(key->name()), std::optional<platform::Value>(true));
        key->reset();
        EXPECT_FALSE(Prefs::get(*key));
    }
    EXPECT_EQ(transparentBackground().name(), "transparentBackground");
    EXPECT_EQ(logToFile().name(), "logToFile");
    EXPECT_EQ(transparentBackground().cloudSync(), Prefs::CloudSync::off);
}

}  // namespace
}  // namespace vorrel
