// The tokens a launch hands on: read from Activate's platform data, and the X server time a
// window manager weighs against the focused window's when the startup id carries one.
#include "platform/desktop/LaunchToken.h"

#include <gtest/gtest.h>

namespace vorrel::platform {
namespace {

TEST(LaunchToken, StartupTimeIsTheUserActionsOrNone) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"xfce4-panel/|usr|bin|vorrel/1234-5-host_TIME8765432", 8765432u},
        {"launcher/a_TIME1_TIME77", 77u},  // the last one counts
        {"launcher/vorrel_TIME4294967295", 4294967295u},
        {"launcher/vorrel_TIME4294967296", std::nullopt},  // more than 32 bits
        {"launcher/vorrel_TIME0", std::nullopt},           // CurrentTime is no user action
        {"launcher/vorrel_TIME", std::nullopt},
        {"launcher/vorrel_TIME12x", std::nullopt},
        {"launcher/vorrel_TIME+12", std::nullopt},
        {"launcher/vorrel_TIME-12", std::nullopt},
        {"4c1e0c39-8b6d-4a2e-9f0a-6a0b5d2c7e11", std::nullopt},  // a Wayland token
        {"", std::nullopt},
    };
    for (const auto& [id, expected] : cases) {
        SCOPED_TRACE(id);
        EXPECT_EQ(LaunchToken::startupTime(QString::fromLatin1(id)), expected);
    }
}

TEST(LaunchToken, PlatformDataCarriesBothTokensAndIgnoresOtherTypes) {
    const LaunchToken both{QStringLiteral("wl-token"), QStringLiteral("x-id_TIME5")};
    const QVariantMap data = both.platformData();
    EXPECT_EQ(data.value(QStringLiteral("activation-token")).toString(), both.activationToken);
    EXPECT_EQ(data.value(QStringLiteral("desktop-startup-id")).toString(), both.startupId);
    EXPECT_EQ(LaunchToken::fromPlatformData(data), both);
    EXPECT_TRUE(LaunchToken{}.platformData().isEmpty());

    // A launcher's other keys, and tokens of the wrong type, are ignored.
    const QVariantMap odd{{QStringLiteral("activation-token"), QVariant(42)},
                          {QStringLiteral("desktop-startup-id"), QByteArray("bytes")},
                          {QStringLiteral("pid"), QVariant(1234)}};
    EXPECT_TRUE(LaunchToken::fromPlatformData(odd).isEmpty());

    // Each platform takes its own token, else the other one.
    const LaunchToken waylandOnly{QStringLiteral("wl"), {}};
    const LaunchToken x11Only{{}, QStringLiteral("x")};
    EXPECT_EQ(waylandOnly.forX11(), QStringLiteral("wl"));
    EXPECT_EQ(x11Only.forWayland(), QStringLiteral("x"));
    EXPECT_EQ(both.forWayland(), QStringLiteral("wl-token"));
    EXPECT_EQ(both.forX11(), QStringLiteral("x-id_TIME5"));
}

}  // namespace
}  // namespace vorrel::platform
