#include "preview/zoom/PdfZoom.h"

#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>

#include <QPoint>
#include <QVariant>

#include <algorithm>

namespace vorrel::quicklook {

double effectiveZoom(const QPdfView& view) {
    if (view.zoomMode() == QPdfView::ZoomMode::Custom || !view.document()) return view.zoomFactor();
    const int page = view.pageNavigator() ? view.pageNavigator()->currentPage() : 0;
    // QPdfView draws a page at its point size times the screen's logical DPI / 72.
    const QSizeF pagePixels = view.document()->pagePointSize(page) * (view.logicalDpiY() / 72.0);
    if (pagePixels.isEmpty()) return view.zoomFactor();
    // Its fitted page fills the viewport's width between the left and right margins, and
    // (FitInView) its whole height less the page spacing: the top and bottom margins, which
    // may centre the page, take no part.
    const QMargins margins = view.documentMargins();
    const double toWidth =
        (view.viewport()->width() - margins.left() - margins.right()) / pagePixels.width();
    if (view.zoomMode() == QPdfView::ZoomMode::FitToWidth) return toWidth;
    return std::min(toWidth,
                    (view.viewport()->height() - view.pageSpacing()) / pagePixels.height());
}

namespace {
// Where the view keeps what it was before the first zoom step.
constexpr const char* kFitMode = "vorrelFitMode";
constexpr const char* kFitScrollBars = "vorrelFitScrollBars";
}  // namespace

void zoomBy(QPdfView& view, double factor) {
    const double zoom = std::clamp(effectiveZoom(view) * factor, kMinimumZoom, kMaximumZoom);
    if (view.zoomMode() != QPdfView::ZoomMode::Custom && !view.property(kFitMode).isValid()) {
        view.setProperty(kFitMode, int(view.zoomMode()));
        view.setProperty(kFitScrollBars, QPoint(int(view.horizontalScrollBarPolicy()),
                                                int(view.verticalScrollBarPolicy())));
    }
    // A zoomed page may outgrow the view; the scroll bars a fitted view goes without
    // become useful.
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view.setZoomMode(QPdfView::ZoomMode::Custom);
    view.setZoomFactor(zoom);
}

}  // namespace vorrel::quicklook

namespace vorrel::quicklook {

void zoomToFit(QPdfView& view) {
    const QVariant mode = view.property(kFitMode);
    if (!mode.isValid()) return;
    const QPoint scrollBars = view.property(kFitScrollBars).toPoint();
    view.setProperty(kFitMode, QVariant());
    view.setProperty(kFitScrollBars, QVariant());
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarPolicy(scrollBars.x()));
    view.setVerticalScrollBarPolicy(Qt::ScrollBarPolicy(scrollBars.y()));
    view.setZoomMode(QPdfView::ZoomMode(mode.toInt()));
}

}  // namespace vorrel::quicklook
