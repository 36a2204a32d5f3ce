#include "platform/Bundle.h"

#include <gtest/gtest.h>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

TEST(Bundle, TextLookupIgnoresOtherKinds) {
    Bundle bundle(Dictionary{{"Name", Value{"Vorrel"}},
                             {"Number", Value{std::int64_t{3}}},
                             {"Flag", Value{true}}});
    EXPECT_EQ(bundle.string("Name"), "Vorrel");
    EXPECT_EQ(bundle.string("Number"), std::nullopt);
    EXPECT_EQ(bundle.string("Flag"), std::nullopt);
    EXPECT_EQ(bundle.string("Missing"), std::nullopt);
    EXPECT_EQ(bundle.identifier(), "");
}

TEST(Bundle, GeneratedDictionariesShareTheTeamPrefix) {
    Bundle host(hostInfoDictionary());
    Bundle extension(extensionInfoDictionary());
    ASSERT_TRUE(host.string("TeamIdentifierPrefix"));
    EXPECT_EQ(host.string("TeamIdentifierPrefix"), extension.string("TeamIdentifierPrefix"));
    EXPECT_EQ(host.string("TeamIdentifierPrefix")->back(), '.');
    EXPECT_NE(host.identifier(), extension.identifier());
    EXPECT_TRUE(host.string("SUFeedURL"));
}

TEST(Bundle, TempHomeInstallsAndRestoresTheMainBundle) {
    Bundle::setMain(Bundle(Dictionary{{"CFBundleIdentifier", Value{"before"}}}));
    {
        test::TempHome home;
        EXPECT_EQ(Bundle::main().string("TeamIdentifierPrefix"), "TESTTEAM.");
    }
    EXPECT_EQ(Bundle::main().identifier(), "before");
}

}  // namespace
}  // namespace vorrel::platform
