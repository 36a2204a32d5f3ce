// Which platform plug-in a program with windows starts on, for each session it may meet.
#include "platform/desktop/DisplayPlatform.h"

#include <gtest/gtest.h>

namespace vorrel::platform {
namespace {

TEST(DisplayPlatform, StartsWhereADisplayAnswersAndNowhereElse) {
    struct Case {
        const char* requested;
        bool wayland, plugin, x;
        std::optional<QString> expected;  // "" leaves Qt's own choice
    };
    const Case cases[] = {
        {"", true, true, true, QString()},
        {"", false, false, true, QString()},
        {"", true, false, false, std::nullopt},  // a compositor, but no plug-in to reach it
        {"", false, false, false, std::nullopt},
        {"wayland", true, true, true, "wayland;xcb"},
        {"wayland", false, true, true, "xcb"},  // the session asks for Wayland, none runs
        {"wayland", true, false, true, "xcb"},  // qt6-wayland not installed
        {"wayland", false, true, false, std::nullopt},
        {"wayland-egl", true, true, false, "wayland-egl;xcb"},
        {"xcb", false, true, true, "xcb"},
        {"xcb", true, true, false, "wayland"},
        {"xcb", false, false, false, std::nullopt},
        {"offscreen", false, false, false, "offscreen"},
        {"wayland;xcb", false, false, false, "wayland;xcb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.requested << " wayland=" << c.wayland
                                        << " plugin=" << c.plugin << " x=" << c.x);
        const auto platform = platformFor({QString::fromLatin1(c.requested), c.wayland, c.plugin, c.x});
        ASSERT_EQ(platform.has_value(), c.expected.has_value());
        if (platform) {
            EXPECT_EQ(platform->toStdString(), c.expected->toStdString());
        }
    }
}

}  // namespace
}  // namespace vorrel::platform
