#include "widgets/AppIconView.h"

#include <QEvent>
#include <QPainter>

#include "widgets/SymbolIcon.h"

namespace vorrel::zodadavovov {

AppIconView::AppIconView(int size, QWidget* parent) : QWidget(parent), size_(size) {
    setFixedSize(size_, size_);
    pixmap_ = render();
}

QPixmap AppIconView::render() const {
    return applicationIcon().pixmap(QSize(size_, size_), devicePixelRatioF());
}

void AppIconView::reload() {
    QPixmap fresh = render();
    // Comparing pictures rather than cache keys: a theme reload gives new objects for
    // the same icon, which need no repaint.
    if (fresh.toImage() == pixmap_.toImage()) return;
    pixmap_ = std::move(fresh);
    update();
    emit iconChanged();
}

void AppIconView::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::ThemeChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        reload();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void AppIconView::paintEvent(QPaintEvent*) {
    if (pixmap_.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF shown = pixmap_.deviceIndependentSize().scaled(QSizeF(size_, size_),
                                                                 Qt::KeepAspectRatio);
    const QRectF target((size_ - shown.width()) / 2, (size_ - shown.height()) / 2, shown.width(),
                        shown.height());
    painter.drawPixmap(target, pixmap_, QRectF(pixmap_.rect()));
}

}  // namespace vorrel::zodadavovov
