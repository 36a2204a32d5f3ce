#include "preview/VisualEffectView.h"

#include <QPainter>

namespace vorrel {

VisualEffectView::VisualEffectView(Material material, QWidget* parent)
    : QWidget(parent), material_(material) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void VisualEffectView::paintEvent(QPaintEvent*) {
    QColor backdrop = palette().color(QPalette::Window);
    backdrop.setAlpha(kBackdropAlpha);
    QPainter painter(this);
    painter.fillRect(rect(), backdrop);
}

}  // namespace vorrel
