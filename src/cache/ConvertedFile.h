#pragma once
// isWholeConvertedFile(path, format): whether the file at `path` looks complete for its
// format, judged by its two ends (a few kilobytes read, whatever the file's size):
//   PDF: begins with "%PDF-" and has "%%EOF" in its last 1024 bytes;
//   PNG: begins with the PNG signature and ends with the IEND chunk.
// A file cut short (a crash before its data reached the disk, a full disk, a converter killed
// while writing) fails; so does a missing or unreadable file.
//
// Thread-safety: callable from any thread.

#include <filesystem>

#include "cache/OutputFormat.h"

namespace vorrel {

bool isWholeConvertedFile(const std::filesystem::path& path, OutputFormat format);

}  // namespace vorrel
