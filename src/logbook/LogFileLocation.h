#pragma once
// LogFileLocation: where a file destination writes, given either as a path text or as a
// location.
//
// - A path text ("logs/Preview.log", "/tmp/Preview.log") becomes a file location for that
//   path, made absolute against the working directory.
// - A location (std::filesystem::path) is a file location and taken as it is (made absolute).
// - A location given as URL text (fromUrl) is taken only when it is a file URL
//   ("file:///tmp/a%20b.log" → /tmp/a b.log); any other URL gives no location.
// An empty path gives no location. Values only; thread-safe.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorrel {

class LogFileLocation {
public:
    LogFileLocation(const char* pathText) : LogFileLocation(std::string(pathText)) {}
    LogFileLocation(std::string pathText);
    LogFileLocation(std::filesystem::path fileLocation);

    static LogFileLocation fromUrl(std::string_view urlText);

    // The file's absolute path, or nothing when the value names no file location.
    const std::optional<std::filesystem::path>& resolved() const { return path_; }

private:
    LogFileLocation() = default;
    std::optional<std::filesystem::path> path_;
};

}  // namespace vorrel
