#include "platform/TemporaryFolder.h"

#include "platform/FileTree.h"

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace vorrel::platform {

TemporaryFolder::TemporaryFolder(const std::filesystem::path& parent, std::string_view prefix) {
    std::string pattern = (parent / (std::string(prefix) + "XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "cannot create " + pattern);
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    removeTree(path_);  // also what its users made unreadable
}

}  // namespace vorrel::platform
