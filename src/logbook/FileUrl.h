#pragma once
// The text form of a file URL for a path, as written in log lines:
// "file://" + the absolute path with every byte percent-encoded that a URL path may not
// carry as it is (space → %20, newline → %0A, '%' → %25, '?' → %3F, '#' → %23, every
// non-ASCII byte of the UTF-8 name). Letters, digits, "-._~", "!$&'()*+,;=", ':', '@' and
// '/' stay. Pure functions; thread-safe.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorrel {

std::string fileUrlString(const std::filesystem::path& path);

// The path of a "file://" URL (percent-decoded), or nothing for any other text.
std::optional<std::filesystem::path> pathFromFileUrl(std::string_view url);

}  // namespace vorrel
