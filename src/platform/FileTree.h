#pragma once
// Trees of files a process of ours made, whatever their modes: their disk use, and removing
// them.
//
// removeTree(path): removes `path` and everything beneath it (links are removed, never
// followed). Where a folder cannot be listed, entered or emptied (a converter made it 0300 or
// 0000; it is ours, so we may change that), the folder gets its owner's read, write and
// execute permission back first, and the removal is tried again. Returns the error of the
// second try, or none; a path that does not exist is no error.
//
// bytesHeld(path): the bytes the tree takes on disk: for every file and folder in it (and
// `path` itself), the larger of its size and its allocated blocks (st_blocks × 512), so that
// space allocated past a file's end counts too. Folders that cannot be listed get their
// owner's read and execute permission back first, so that nothing beneath them escapes the
// count. A file with several links counts once per link. Errors count as nothing.
//
// openDeletedBytes(pid): the same measure for the files process `pid` holds open that have no
// name any more (unlinked), each once, read through /proc/<pid>/fd; 0 when that cannot be read.
//
// Thread-safety: callable from any thread; the trees are expected to be ours.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace vorrel::platform {

std::error_code removeTree(const std::filesystem::path& path);
std::uint64_t bytesHeld(const std::filesystem::path& path);
std::uint64_t openDeletedBytes(pid_t pid);

}  // namespace vorrel::platform
