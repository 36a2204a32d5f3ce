#pragma once
// FirstPageView: a document's first page, drawn alone while its PDF is made, standing where
// the PDF's page will be.
//
//  - The page is an ImageView fitted into the PDF view's base margins (`margins`), at its size
//    in points (`points`), with the label "Page 1" over its bottom as PageNavigator places it;
//  - preferredSize() is that page with its margins, as PreviewView::pdfRowSize() gives the
//    PDF's first page, so the window need not change size when the PDF replaces it;
//  - showError() puts a failure's sentence in the label, over the page;
//  - the page keys (PageNavigator::kKeys), window-wide as the PDF's are, are kept in the order
//    pressed (queuedMoves()) for the PDF's navigator to apply when the PDF takes the page's
//    place; the page itself does not move.
//
// Thread-safety: GUI thread only.

#include <QImage>
#include <QMargins>
#include <QSizeF>
#include <QWidget>

#include <vector>

#include "preview/PageNavigator.h"

class QLabel;

namespace vorrel {

class ImageView;

class FirstPageView : public QWidget {
    Q_OBJECT
public:
    FirstPageView(QImage image, QSizeF points, QMargins margins, QWidget* parent = nullptr);

    ImageView* image() const { return image_; }
    QSizeF preferredSize() const { return preferredSize_; }
    // The zoom the user gave the page, as against the page fitted now; 0 while fitted.
    double zoomAgainstFitted() const;
    void showError(const QString& error);
    const std::vector<PageNavigator::Move>& queuedMoves() const { return queuedMoves_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    ImageView* image_;
    QLabel* label_;
    QSizeF preferredSize_;
    std::vector<PageNavigator::Move> queuedMoves_;
};

}  // namespace vorrel
