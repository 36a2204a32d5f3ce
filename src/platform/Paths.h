#pragma once
// The per-user base folders of the XDG base-directory rules.
//
// configHome(): $XDG_CONFIG_HOME when it is set to an absolute path, else $HOME/.config when
// $HOME is absolute, else nothing. cacheHome(): the same with XDG_CACHE_HOME and .cache.
// Relative values are ignored, as the rules require. The environment is read at every call,
// so a change of the variables takes effect at once. The folders are not created.
//
// createPrivateFolders(path): creates `path` and any missing parent, each new folder with mode
// 0700 exactly, whatever the umask; folders that exist keep their mode. Fails with the error of
// the first folder that could not be made (an existing non-folder gives ENOTDIR).
//
// Thread-safety: callable from any thread, as long as nobody changes the environment at the
// same time (setenv is not thread-safe).

#include <filesystem>
#include <optional>
#include <system_error>

namespace vorrel::platform {

std::optional<std::filesystem::path> configHome();
std::optional<std::filesystem::path> cacheHome();

std::error_code createPrivateFolders(const std::filesystem::path& path);

}  // namespace vorrel::platform
