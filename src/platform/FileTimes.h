#pragma once
// creationDate: when a file system entry was created.
//
// Read with statx(STATX_BTIME) on the entry itself (a symbolic link is not followed). Some
// file systems (older tmpfs, some network and FUSE file systems) keep no birth time; there
// the status-change time (ctime) stands in. For the files Vorrel ages out this is a close
// substitute: a converted file is written once and moved into place, which is its last
// status change, so ctime is the moment it was finished. Nothing when the entry cannot be
// examined (missing, permission denied).
//
// Thread-safety: callable from any thread.

#include <filesystem>
#include <optional>

#include "platform/Value.h"

namespace vorrel::platform {

std::optional<Date> creationDate(const std::filesystem::path& path);

}  // namespace vorrel::platform
