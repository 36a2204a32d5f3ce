#pragma once
// TempHome: a fresh temporary folder that stands in for the user's home for one test.
//
// While it lives, HOME and every XDG_*_HOME variable point into it (config/, cache/,
// data/, state/), and the process's main bundle is a test bundle whose team prefix is
// "TESTTEAM.". The destructor restores the environment and the main bundle and removes
// the folder. Not thread-safe: create it on the test's main thread, one at a time.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bundle.h"

namespace vorrel::test {

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path configHome() const { return root_ / "config"; }
    std::filesystem::path cacheHome() const { return root_ / "cache"; }

    // Writes a file under root() (folders created) and returns its path.
    std::filesystem::path write(const std::filesystem::path& relative, std::string_view bytes) const;

private:
    std::filesystem::path root_;
    std::map<std::string, std::optional<std::string>> savedEnvironment_;
    platform::Bundle savedBundle_;
};

// The information dictionary TempHome installs as the main bundle.
platform::Dictionary testInfoDictionary();

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// The names in `folder`, hidden ones too, sorted; none when it cannot be listed.
std::vector<std::string> entries(const std::filesystem::path& folder);

}  // namespace vorrel::test
