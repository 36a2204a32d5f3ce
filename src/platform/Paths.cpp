#include "platform/Paths.h"

#include <cstdlib>

namespace vorrel::platform {

namespace {

std::optional<std::filesystem::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/') return std::nullopt;
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> baseFolder(const char* variable, const char* homeRelative) {
    if (auto path = absoluteVariable(variable)) return path;
    if (auto home = absoluteVariable("HOME")) return *home / homeRelative;
    return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> configHome() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

std::optional<std::filesystem::path> cacheHome() {
    return baseFolder("XDG_CACHE_HOME", ".cache");
}

}  // namespace vorrel::platform
