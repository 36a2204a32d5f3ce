#include "preview/ImageView.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace vorrel {

ImageView::ImageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void ImageView::setImage(QImage image) {
    image_ = std::move(image);
    scaled_ = QImage();
    updateScrollBars();
    viewport()->update();
}

void ImageView::setNaturalSize(QSizeF points) {
    naturalSize_ = points;
    updateScrollBars();
    viewport()->update();
}

QSizeF ImageView::naturalSize() const {
    return naturalSize_.isEmpty() ? image_.deviceIndependentSize() : naturalSize_;
}

void ImageView::setZoom(double zoom) {
    zoom_ = zoom <= 0 ? 0 : std::clamp(zoom, kMinimumZoom, kMaximumZoom);
    updateScrollBars();
    viewport()->update();
}

double ImageView::effectiveZoom() const {
    return zoom_ > 0 ? zoom_ : fittedZoom();
}

double ImageView::fittedZoom() const {
    const QSizeF natural = naturalSize();
    if (natural.isEmpty()) return 1;
    const QSize bounds = viewport()->size();
    return std::min({1.0, bounds.width() / natural.width(), bounds.height() / natural.height()});
}

QSize ImageView::drawnSize(QSize bounds) const {
    const QSizeF natural = naturalSize();
    if (zoom_ > 0) return (natural * zoom_).toSize();
    if (natural.width() > bounds.width() || natural.height() > bounds.height())
        return natural.scaled(bounds, Qt::KeepAspectRatio).toSize();
    return natural.toSize();
}

QRect ImageView::imageRect(QRect bounds) const {
    if (image_.isNull() || bounds.isEmpty()) return {};
    QRect rect(QPoint(), drawnSize(bounds.size()));
    rect.moveCenter(bounds.center());
    // Larger than the view: its scroll position says which part shows.
    if (rect.width() > bounds.width()) rect.moveLeft(bounds.left() - horizontalScrollBar()->value());
    if (rect.height() > bounds.height()) rect.moveTop(bounds.top() - verticalScrollBar()->value());
    return rect;
}

void ImageView::updateScrollBars() {
    const QSize bounds = viewport()->size();
    const QSize drawn = image_.isNull() ? QSize() : drawnSize(bounds);
    horizontalScrollBar()->setRange(0, std::max(0, drawn.width() - bounds.width()));
    verticalScrollBar()->setRange(0, std::max(0, drawn.height() - bounds.height()));
    horizontalScrollBar()->setPageStep(bounds.width());
    verticalScrollBar()->setPageStep(bounds.height());
}

void ImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ImageView::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    const QRect target = imageRect(viewport()->rect());
    if (target.isEmpty()) return;
    // Drawn from a copy scaled with area averaging: the painter's bilinear filter samples
    // only a few source pixels per drawn one, and a thin line of a 200 dpi image shrunk
    // to 72 dpi falls apart into dashes. An enlarged image needs no copy.
    const QSize pixels = (QSizeF(target.size()) * devicePixelRatioF()).toSize();
    const bool shrunk = pixels.width() < image_.width() || pixels.height() < image_.height();
    if (shrunk && scaled_.size() != pixels) {
        scaled_ = image_.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled_.setDevicePixelRatio(devicePixelRatioF());
    }
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, shrunk ? scaled_ : image_);
}

}  // namespace vorrel
