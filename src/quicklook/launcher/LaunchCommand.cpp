#include "quicklook/launcher/LaunchCommand.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vorrel::quicklook {

namespace {

// The service's options (ServiceMain.cpp) that change nothing of what the first file converts
// to: those that take a value, and those that do not.
constexpr std::array<std::string_view, 4> kWithValue = {"--snapshot", "--save-as", "--dpi",
                                                        "--idle-exit-ms"};
constexpr std::array<std::string_view, 3> kFlags = {"--headless", "--transparent",
                                                    "--quit-after-paint"};

bool among(const auto& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::optional<std::filesystem::path> fileToStartOn(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--") {
            if (i + 1 < arguments.size()) return std::filesystem::path(arguments[i + 1]);
            return std::nullopt;
        }
        if (!argument.starts_with("-") || argument == "-")
            return std::filesystem::path(arguments[i]);
        const std::string_view name = argument.substr(0, argument.find('='));
        if (among(kFlags, argument)) continue;
        if (!among(kWithValue, name)) return std::nullopt;
        if (name == argument) ++i;  // the value follows
    }
    return std::nullopt;
}

}  // namespace vorrel::quicklook
