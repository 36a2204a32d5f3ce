#pragma once
// Zooming a PDF view in steps, starting from whatever scale it shows now.
//
// A view in FitInView mode does not report its fitted scale, so the first step computes it
// from the viewport and the current page's size and switches the view to a custom zoom.
//
// Thread-safety: GUI thread only.

class QPdfView;

namespace vorrel::quicklook {

inline constexpr double kZoomStep = 1.25;
inline constexpr double kMinimumZoom = 0.1;
inline constexpr double kMaximumZoom = 16.0;

// The scale the view draws page 0 at now (its zoom factor, or the fitted one).
double effectiveZoom(const QPdfView& view);
// Multiplies the effective zoom by `factor`, bounded to [kMinimumZoom, kMaximumZoom]. The
// first step remembers the fitted mode and scroll bar policies it leaves.
void zoomBy(QPdfView& view, double factor);
// Back to the fitted mode and scroll bars the view had before zoomBy(); nothing when it
// was not zoomed.
void zoomToFit(QPdfView& view);

}  // namespace vorrel::quicklook
