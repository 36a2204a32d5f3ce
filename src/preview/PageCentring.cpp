#include "preview/PageCentring.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QScreen>
#include <algorithm>

namespace vorrel {

namespace {

// The size QPdfView 6.4 draws `page` at, with its own arithmetic and roundings, so that a
// centred page fills the viewport exactly and never asks for a scroll bar. It draws a page at
// its point size times the primary screen's logical DPI / 72.
QSize drawnPageSize(const QPdfView& view, int page) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double screenResolution =
        (screen ? screen->logicalDotsPerInch() : view.logicalDpiY()) / 72.0;
    const QSizeF points = view.document()->pagePointSize(page);
    const QSize natural = QSizeF(points * screenResolution).toSize();
    const QMargins margins = view.documentMargins();
    const int width = view.viewport()->width() - margins.left() - margins.right();
    switch (view.zoomMode()) {
        case QPdfView::ZoomMode::Custom:
            return QSizeF(points * screenResolution * view.zoomFactor()).toSize();
        case QPdfView::ZoomMode::FitToWidth:
            return natural.width() > 0 ? natural * (qreal(width) / qreal(natural.width()))
                                       : natural;
        case QPdfView::ZoomMode::FitInView:
            return natural.scaled(QSize(width, view.viewport()->height() - view.pageSpacing()),
                                  Qt::KeepAspectRatio);
    }
    return natural;
}

// The height `view` draws its pages at now, spacing included, without the margins; 0
// without a document.
int contentHeight(const QPdfView& view) {
    const QPdfDocument* document = view.document();
    if (!document || document->status() != QPdfDocument::Status::Ready) return 0;
    const bool single = view.pageMode() == QPdfView::PageMode::SinglePage;
    const int first = single ? view.pageNavigator()->currentPage() : 0;
    const int end = single ? std::min(first + 1, document->pageCount()) : document->pageCount();
    int height = 0;
    for (int page = first; page < end; ++page)
        height += drawnPageSize(view, page).height() + view.pageSpacing();
    return height;
}

}  // namespace

PageCentring::PageCentring(QPdfView* view)
    : QObject(view), view_(view), viewport_(view->viewport()), base_(view->documentMargins()) {
    viewport_->installEventFilter(this);
    connect(view_, &QPdfView::documentChanged, this, [this] {
        watchDocument();
        centre();
    });
    connect(view_, &QPdfView::zoomFactorChanged, this, &PageCentring::centre);
    connect(view_, &QPdfView::zoomModeChanged, this, &PageCentring::centre);
    connect(view_, &QPdfView::pageModeChanged, this, &PageCentring::centre);
    connect(view_, &QPdfView::pageSpacingChanged, this, &PageCentring::centre);
    connect(view_->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            &PageCentring::centre);
    watchDocument();
    centre();
}

QMargins PageCentring::baseMargins(const QPdfView& view) {
    if (const auto* centring = view.findChild<PageCentring*>(QString(), Qt::FindDirectChildrenOnly))
        return centring->base_;
    return view.documentMargins();
}

bool PageCentring::eventFilter(QObject* watched, QEvent* event) {
    // The viewport's events come in while the view is being destroyed too: nothing of the
    // view is asked before one is known to be a resize.
    if (watched == viewport_ && event->type() == QEvent::Resize) centre();
    return QObject::eventFilter(watched, event);
}

void PageCentring::centre() {
    const int content = contentHeight(*view_);
    const int free = view_->viewport()->height() - content;
    QMargins margins = base_;
    if (content > 0 && free >= 0) {
        margins.setTop(free / 2);
        margins.setBottom(free - free / 2);
    }
    if (margins != view_->documentMargins()) view_->setDocumentMargins(margins);
}

// A document that finishes loading after it was set changes its pages' sizes.
void PageCentring::watchDocument() {
    if (QPdfDocument* document = view_->document())
        connect(document, &QPdfDocument::statusChanged, this, &PageCentring::centre,
                Qt::UniqueConnection);
}

}  // namespace vorrel
