#include "preview/FirstPageView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

#include <utility>

#include "preview/ImageView.h"
#include "preview/PageNavigator.h"
#include "preview/PreviewView.h"

namespace vorrel {

FirstPageView::FirstPageView(QImage image, QSizeF points, QMargins margins, QWidget* parent)
    : QWidget(parent),
      image_(new ImageView),
      label_(PageNavigator::makeLabel(this)),
      preferredSize_(points + QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom())) {
    setObjectName(QStringLiteral("firstPage"));
    pinningLayout(this)->setContentsMargins(margins);
    image_->setImage(std::move(image));
    image_->setNaturalSize(points);
    image_->setFrameShape(QFrame::NoFrame);
    layout()->addWidget(image_);
    // The controller's catalogue context, where the page label was first translated.
    label_->setText(QCoreApplication::translate("vorrel::PreviewViewController", "Page %1").arg(1));
    label_->setWordWrap(true);
    for (const auto& [key, move] : PageNavigator::kKeys) {
        auto* keys = new QShortcut(QKeySequence(key), this);
        connect(keys, &QShortcut::activated, this, [this, move = move] { queuedMoves_.push_back(move); });
    }
}

double FirstPageView::zoomAgainstFitted() const {
    return image_->zoom() > 0 ? image_->zoom() / image_->fittedZoom() : 0;
}

void FirstPageView::showError(const QString& error) {
    label_->setText(error);
    PageNavigator::placeLabel(label_, this);
}

void FirstPageView::resizeEvent(QResizeEvent* event) {
    PageNavigator::placeLabel(label_, this);
    QWidget::resizeEvent(event);
}

}  // namespace vorrel
