#pragma once
// copyFileOnce(from, to, observe): makes `to`, a new file of mode 0600 (never replacing
// anything at its path), hold exactly the bytes of `from`, reading them once:
//  1. where the file system offers it (btrfs, XFS), a reflink (FICLONE) shares the blocks, and
//     the copy is read back through `observe`;
//  2. else the bytes are read from `from`, handed to `observe` and written to `to`, chunk by
//     chunk (memory does not grow with the file).
// Either way `observe` sees the bytes the copy holds, in order, each once: what is hashed is
// what was copied, even when `from` changes meanwhile.
//
// copyInto(to, from): makes the open file `to` hold exactly the bytes of `from`: cut to nothing,
// then filled from its start, copied inside the kernel where it can (copy_file_range), else
// through a buffer. False with errno set when a read or write fails (`to` may then hold part).
//
// moveWithoutReplacing(from, to): renames `from` to `to`, failing with EEXIST instead of
// replacing anything already at `to`. On file systems without RENAME_NOREPLACE the same is
// done by a hard link and the removal of `from`.
//
// Errors: std::system_error with the errno and the path (nothing is left at `to` on failure);
// what `observe` throws is thrown on.
//
// Thread-safety: callable from any thread; calls share nothing.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <system_error>

#include "platform/FileDescriptor.h"

namespace vorrel::platform {

using ByteObserver = std::function<void(std::span<const std::uint8_t>)>;

void copyFileOnce(const std::filesystem::path& from, const std::filesystem::path& to,
                  const ByteObserver& observe);

bool copyInto(int to, const std::filesystem::path& from);

std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to);

}  // namespace vorrel::platform
