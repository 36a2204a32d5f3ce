#include "platform/ProcessFolder.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>
#include <system_error>

#include "platform/FileTree.h"

namespace fs = std::filesystem;

namespace vorrel::platform {

namespace {

// Removes the folders of `prefix` in `parent` whose process has gone.
void removeOrphans(const fs::path& parent, std::string_view prefix) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(parent, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        long pid = 0;
        const char* digits = name.data() + prefix.size();
        const auto [end, failure] = std::from_chars(digits, name.data() + name.size(), pid);
        if (failure != std::errc() || end == digits || *end != '-' || pid <= 0) continue;
        if (!processRuns(pid) && entry.is_directory(error) && !entry.is_symlink(error))
            removeTree(entry.path());
    }
}

std::string ownPrefix(const fs::path& parent, std::string_view prefix) {
    if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "cannot create " + parent.string());
    removeOrphans(parent, prefix);
    return std::string(prefix) + std::to_string(::getpid()) + "-";
}

}  // namespace

bool processRuns(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

ProcessFolder::ProcessFolder(const fs::path& parent, std::string_view prefix)
    : folder_(parent, ownPrefix(parent, prefix)) {}

}  // namespace vorrel::platform
