#pragma once
// writeExport(pdf, source, request): writes the drawing of `pdf` (a converted, cropped PDF of
// `source`) as `request` asks (see quicklook::ExportRequest):
//   PDF: the file's bytes; PNG: its first page at request.dotsPerInch (its resolution recorded
//   in the image), with an alpha channel when transparent, else on white; at most
//   kMaximumPixels in all.
// The destination is written through a temporary file beside it, synced, then renamed over
// whatever was there, so a reader sees the old file or the whole new one. Refused, with nothing
// written: a folder at the destination, the source's own path (also by another name), a
// resolution outside [72, 600], an image over the pixel bound.
// Returns the error's text in the user's language, or an empty string on success.
//
// Thread-safety: callable from any thread (it renders with its own QPdfDocument).

#include <QString>

#include <cstdint>
#include <filesystem>

#include "preview/contract/PreviewingController.h"

namespace vorrel {

constexpr std::int64_t kMaximumExportPixels = 20'000LL * 20'000LL;

QString writeExport(const std::filesystem::path& pdf, const std::filesystem::path& source,
                    const quicklook::ExportRequest& request);

}  // namespace vorrel
