#pragma once
// The preview's conversion without the preview: what PreviewViewController converts a file
// into, and the head start that vorrel-quicklook gives it (quicklook/launcher/main.cpp): the
// converter starts in a process of its own before the window's libraries are loaded, and the
// preview's own run then finds its file in the cache, or waits for it (ConversionClaim.h).
// Needs no Qt, so that the launcher that runs it loads none.
//
// Thread-safety: plain functions; call them from any thread.

#include <cstdint>
#include <filesystem>
#include <stop_token>

#include "cache/OutputFormat.h"
#include "conversion/GhostScript.h"

namespace vorrel {

// The resolution of a drawing converted to PNG, in dots per inch.
inline constexpr std::int64_t kPreviewResolution = 200;

// What a drawing is converted into: PNG with alpha while the shared setting
// transparentBackground is on, else PDF (a document is always a PDF: GhostScript.h).
OutputFormat previewFormat();

// The conversion a preview of `file` runs.
GhostScript previewConversion(const std::filesystem::path& file);

// A regular file whose first bytes are PostScript's "%!", a DOS-binary EPS header, or a gzip
// or bzip2 signature: worth a head start. Never blocks (a FIFO is no regular file).
bool worthAHeadStart(const std::filesystem::path& file);

// Runs previewConversion(file) to its end when worthAHeadStart(file), stopping at once when
// `stop` asks, as the extension would from `extensionFolder` (its bundle is installed as the
// process's main bundle first: the shared settings and the cache are found through it).
// Reports nothing and throws nothing: the preview's own run gives the outcome.
void runHeadStart(const std::filesystem::path& file, const std::filesystem::path& extensionFolder,
                  std::stop_token stop);

}  // namespace vorrel
