#pragma once
// Rendering a preview view into an image, as it would appear in a window of a given size.
//
// A PDF view draws its pages on a worker and repaints when a page is ready; the snapshot
// waits for that (up to kRenderWait) so the image shows the page, not an empty sheet.
//
// Thread-safety: GUI thread only; runs the event loop while it waits.

#include <QImage>
#include <QSize>

#include <chrono>

class QWidget;

namespace vorrel::quicklook {

inline constexpr std::chrono::milliseconds kRenderWait{10000};

QImage renderSnapshot(QWidget& view, QSize size);

}  // namespace vorrel::quicklook
