// Which command lines of vorrel-quicklook give the converter a head start, and on which file.
#include "quicklook/launcher/LaunchCommand.h"

#include <gtest/gtest.h>

namespace vorrel::quicklook {
namespace {

TEST(LaunchCommand, StartsOnTheFirstFileOfAPreviewOnly) {
    const struct {
        std::vector<std::string> arguments;
        std::optional<std::string> file;
    } cases[] = {
        {{"a.eps", "b.eps"}, "a.eps"},
        {{"--headless", "a.eps"}, "a.eps"},
        {{"--snapshot", "out.png", "a.eps"}, "a.eps"},  // the value is no file to preview
        {{"--save-as=out.pdf", "--dpi", "300", "--headless", "a.ps"}, "a.ps"},
        {{"--", "--odd name.eps"}, "--odd name.eps"},
        {{"-"}, "-"},
        {{}, std::nullopt},
        {{"--headless"}, std::nullopt},
        {{"--"}, std::nullopt},
        {{"--version", "a.eps"}, std::nullopt},
        {{"--help"}, std::nullopt},
        {{"--nemo-previewer"}, std::nullopt},
        {{"-platform", "xcb", "a.eps"}, std::nullopt},  // Qt's own: the service answers it
        {{"--unknown", "a.eps"}, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& argument : c.arguments) line += argument + " ";
        SCOPED_TRACE(line);
        const auto file = fileToStartOn(c.arguments);
        ASSERT_EQ(file.has_value(), c.file.has_value());
        if (file) {
            EXPECT_EQ(file->string(), *c.file);
        }
    }
}

}  // namespace
}  // namespace vorrel::quicklook
