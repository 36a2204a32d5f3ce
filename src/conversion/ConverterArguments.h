#pragma once
// Command-line pieces that every kind of Ghostscript run shares (the preview's conversions,
// a document's first page, the thumbnails).
//
// outputPathArgument(path): `path` as Ghostscript's output options take it: absolute, so that
// no file name can be taken for an option, and each "%" doubled, because Ghostscript reads
// output names as templates.
// opaquePngArguments(): the options that open an opaque, anti-aliased PNG drawing, ahead of
// each caller's own.
//
// Thread-safety: pure functions.

#include <filesystem>
#include <string>
#include <vector>

namespace vorrel {

std::string outputPathArgument(const std::filesystem::path& path);
std::vector<std::string> opaquePngArguments();

}  // namespace vorrel
