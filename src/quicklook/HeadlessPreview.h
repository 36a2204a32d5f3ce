#pragma once
// The service without a window: the same protocol for each file, the outcome printed.
//
// For every file, in order, a PreviewSession runs to its end. A success prints one JSON
// line to `out`:
//     {"file":"/abs/a.eps","output":"/…/tmp/<digest>.pdf","format":"PDF","contentSize":[w,h]}
// with "pages": N for a PDF, and "complete": false when the document could be drawn only in
// part (its first N pages). A failure prints the error's text as one line to `err`, and
// {"error":"<text>"} as its one line to `out`. With a snapshot path, the view
// that the window would show (the controller's view, or the fallback) is rendered at the
// window's size into a PNG there; further files get "-2", "-3", … before the extension.
// With `saveAs`, each file's drawing is also exported there (PreviewingController::
// exportPreview; further files numbered as snapshots are) before its JSON line is printed; a
// failed export prints its error and counts as a failure.
// The result is 0 when every file succeeded, else 1. When `stopRequested` (may be empty) says
// so, no further file is started.
//
// Thread-safety: GUI thread only; runs the event loop.

#include <QString>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "preview/contract/PreviewingController.h"

namespace vorrel::quicklook {

class ExtensionRegistry;

int runHeadless(ExtensionRegistry& registry, const std::vector<std::filesystem::path>& files,
                const std::optional<QString>& snapshotPath, std::FILE* out, std::FILE* err,
                const std::function<bool()>& stopRequested = {},
                const std::optional<ExportRequest>& saveAs = std::nullopt);

}  // namespace vorrel::quicklook
