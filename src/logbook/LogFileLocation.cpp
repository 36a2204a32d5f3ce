#include "logbook/LogFileLocation.h"

#include "logbook/FileUrl.h"

namespace vorrel {

namespace {

std::optional<std::filesystem::path> absoluteFileLocation(const std::filesystem::path& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute;
}

}  // namespace

LogFileLocation::LogFileLocation(std::string pathText)
    : path_(absoluteFileLocation(std::filesystem::path(std::move(pathText)))) {}

LogFileLocation::LogFileLocation(std::filesystem::path fileLocation)
    : path_(absoluteFileLocation(fileLocation)) {}

LogFileLocation LogFileLocation::fromUrl(std::string_view urlText) {
    LogFileLocation location;
    if (auto path = pathFromFileUrl(urlText)) {
        location.path_ = absoluteFileLocation(*path);
    }
    return location;
}

}  // namespace vorrel
