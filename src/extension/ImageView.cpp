#include "extension/ImageView.h"

#include <QPainter>

namespace vorrel {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void ImageView::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

QRect ImageView::imageRect(QRect bounds) const {
    if (image_.isNull() || bounds.isEmpty()) return {};
    // Logical size: an image with a device pixel ratio keeps its drawn size.
    const QSizeF natural = image_.deviceIndependentSize();
    QSize size = natural.toSize();
    if (natural.width() > bounds.width() || natural.height() > bounds.height())
        size = natural.scaled(bounds.size(), Qt::KeepAspectRatio).toSize();
    QRect rect(QPoint(), size);
    rect.moveCenter(bounds.center());
    return rect;
}

void ImageView::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(rect()), image_);
}

}  // namespace vorrel
