#include "quicklook/PdfZoom.h"

#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>

#include <algorithm>

namespace vorrel::quicklook {

double effectiveZoom(const QPdfView& view) {
    if (view.zoomMode() == QPdfView::ZoomMode::Custom || !view.document()) return view.zoomFactor();
    const int page = view.pageNavigator() ? view.pageNavigator()->currentPage() : 0;
    // QPdfView draws a page at its point size times the screen's logical DPI / 72.
    const QSizeF pagePixels = view.document()->pagePointSize(page) * (view.logicalDpiY() / 72.0);
    if (pagePixels.isEmpty()) return view.zoomFactor();
    const QMargins margins = view.documentMargins();
    const QSize room = view.viewport()->size().shrunkBy(margins);
    const double toWidth = room.width() / pagePixels.width();
    if (view.zoomMode() == QPdfView::ZoomMode::FitToWidth) return toWidth;
    return std::min(toWidth, room.height() / pagePixels.height());
}

void zoomBy(QPdfView& view, double factor) {
    const double zoom = std::clamp(effectiveZoom(view) * factor, kMinimumZoom, kMaximumZoom);
    // A zoomed page may outgrow the view; the scroll bars a fitted view goes without
    // become useful.
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view.setZoomMode(QPdfView::ZoomMode::Custom);
    view.setZoomFactor(zoom);
}

}  // namespace vorrel::quicklook
