#pragma once
// ProcessFolder: a temporary folder that names the process it belongs to, so that what a
// killed process (SIGKILL, power loss) leaves is removed by the next one of its kind.
//
// ProcessFolder(parent, prefix) makes `parent` (mode 0700) if missing, removes every folder
// "<prefix><pid>-*" in it whose process no longer runs, then makes a new folder
// "<prefix><own pid>-XXXXXX" of mode 0700, removed with its content when the object goes.
// Throws std::system_error when the folder cannot be made.
#include <filesystem>
#include <string_view>

#include "platform/TemporaryFolder.h"

namespace vorrel::platform {

class ProcessFolder {
public:
    ProcessFolder(const std::filesystem::path& parent, std::string_view prefix);

    const std::filesystem::path& path() const { return folder_.path(); }

private:
    TemporaryFolder folder_;
};

// False only when no process of that id exists (an id reused since is taken for alive).
bool processRuns(long pid);

}  // namespace vorrel::platform
