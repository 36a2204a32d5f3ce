#pragma once
// TemporaryFolder: a new folder of mode 0700 with a unique name (`prefix` + six random
// characters) in `parent`, removed with everything in it when the object goes, also folders
// beneath it that were made unreadable (platform::removeTree).
#include <filesystem>
#include <string_view>

namespace vorrel::platform {

class TemporaryFolder {
public:
    // Throws std::system_error ("cannot create <pattern>") when the folder cannot be made.
    TemporaryFolder(const std::filesystem::path& parent, std::string_view prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace vorrel::platform
