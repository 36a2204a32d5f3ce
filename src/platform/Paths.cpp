#include "platform/Paths.h"

#include <sys/stat.h>

#include <cerrno>
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

std::error_code createPrivateFolders(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return {};
    const std::filesystem::path parent = path.parent_path();
    if (!parent.empty() && parent != path) {
        if (auto parentError = createPrivateFolders(parent)) return parentError;
    }
    if (mkdir(path.c_str(), 0700) != 0) {
        const int failure = errno;
        if (failure == EEXIST && std::filesystem::is_directory(path, error)) return {};
        return {failure == EEXIST ? ENOTDIR : failure, std::generic_category()};
    }
    // mkdir's mode passes through the umask, which may take the owner's bits away too.
    if (chmod(path.c_str(), 0700) != 0) return {errno, std::generic_category()};
    return {};
}

}  // namespace vorrel::platform
