#include "platform/AppGroup.h"

#include <sys/stat.h>

#include <system_error>

#include "platform/Bundle.h"
#include "platform/Fatal.h"
#include "platform/Paths.h"

namespace vorrel {

namespace {

std::string computeIdentifier() {
    const platform::Bundle bundle = platform::Bundle::main();
    const platform::Value* prefix = bundle.object("TeamIdentifierPrefix");
    if (!prefix)
        platform::fatalError("the main bundle has no TeamIdentifierPrefix entry; the app-group "
                             "identifier cannot be formed");
    const std::string* text = prefix->get<std::string>();
    if (!text)
        platform::fatalError("the main bundle's TeamIdentifierPrefix entry is not text; the "
                             "app-group identifier cannot be formed");
    return *text + "group.com.quarnix.Vorrel";
}

}  // namespace

const std::string& appGroupIdentifier() {
    static const std::string identifier = computeIdentifier();
    return identifier;
}

std::optional<std::filesystem::path> groupContainerURL() {
    const auto base = platform::cacheHome();
    if (!base) return std::nullopt;
    const std::filesystem::path container = *base / appGroupIdentifier();
    if (platform::createPrivateFolders(container)) return std::nullopt;
    // A container made before it was private (0755) is closed now: what it holds tells which
    // files the user previewed.
    struct stat status {};
    if (stat(container.c_str(), &status) == 0 && (status.st_mode & 077) != 0)
        chmod(container.c_str(), 0700);
    return container;
}

std::optional<std::filesystem::path> logFileURL() {
    auto container = groupContainerURL();
    if (!container) return std::nullopt;
    return *container / "Preview.log";
}

}  // namespace vorrel
