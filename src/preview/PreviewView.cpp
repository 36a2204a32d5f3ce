#include "preview/PreviewView.h"

#include <QFile>
#include <QPdfDocument>
#include <QPdfView>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWidget>

#include <utility>

#include "platform/SystemVersion.h"
#include "preview/ImageView.h"
#include "preview/PageCentring.h"
#include "preview/PageNavigator.h"
#include "preview/PngImage.h"
#include "preview/VisualEffectView.h"

namespace vorrel {

QVBoxLayout* pinningLayout(QWidget* container) {
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

PreviewView::PreviewView(OutputFormat format) {
    auto* root = new QWidget;
    root->setObjectName(QStringLiteral("PreviewViewController"));
    root->setAttribute(Qt::WA_TranslucentBackground);
    root_ = root;

    QVBoxLayout* rootLayout = pinningLayout(root);
    if (format == OutputFormat::PNG) {
        imageView_ = new ImageView;
        if (!platform::SystemVersion::isAtLeast({26, 0, 0})) {
            backdropView_ = new VisualEffectView(VisualEffectView::Material::popover);
            pinningLayout(backdropView_)->addWidget(imageView_);
            rootLayout->addWidget(backdropView_);
        } else {
            rootLayout->addWidget(imageView_);
        }
    } else {
        makePdfView();
    }
}

PreviewView::~PreviewView() {
    delete root_.data();
    delete document_;
}

void PreviewView::makePdfView() {
    pdfView_ = new QPdfView;
    pdfView_->setPageMode(QPdfView::PageMode::SinglePage);
    pdfView_->setZoomMode(QPdfView::ZoomMode::FitInView);
    pdfView_->setPageSpacing(0);  // no page breaks
    // A fitted page never needs scroll bars, and QPdfView 6.4 keeps re-fitting without
    // end when a scroll bar appears and disappears at the fitted size.
    pdfView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pdfView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // QPdfView paints around its pages with the palette's Dark brush.
    QPalette clear = pdfView_->palette();
    clear.setColor(QPalette::Dark, Qt::transparent);
    clear.setColor(QPalette::Base, Qt::transparent);
    clear.setColor(QPalette::Window, Qt::transparent);
    pdfView_->setPalette(clear);
    pdfView_->setAutoFillBackground(false);
    pdfView_->viewport()->setAutoFillBackground(false);
    pdfView_->setFrameShape(QFrame::NoFrame);
    pdfView_->setAttribute(Qt::WA_TranslucentBackground);
    new PageCentring(pdfView_);  // a page shorter than the view sits in its middle
    root_->layout()->addWidget(pdfView_);
}

void PreviewView::showAsPdf() {
    if (pdfView_) return;
    delete backdropView_;
    backdropView_ = nullptr;
    delete imageView_;
    imageView_ = nullptr;
    makePdfView();
}

std::optional<QSizeF> PreviewView::showImage(const std::filesystem::path& png) {
    PngImage picture = readPngImage(png);
    if (picture.image.isNull()) return std::nullopt;
    imageView_->setImage(std::move(picture.image));
    imageView_->setNaturalSize(picture.points);
    return picture.points;
}

std::optional<QSizeF> PreviewView::showDocument(const std::filesystem::path& pdf, bool paged,
                                                const QString& lastPageNote) {
    auto* document = new QPdfDocument;
    const auto status = document->load(QFile::decodeName(pdf.c_str()));
    if (status != QPdfDocument::Error::None || document->pageCount() < 1 ||
        document->pagePointSize(0).isEmpty()) {
        delete document;
        return std::nullopt;
    }
    delete document_;
    document_ = document;
    if (paged) {
        // A PostScript document: one page at a time, fitted, moved through with the keys.
        pdfView_->setDocument(document_);
        pageNavigator_ = new PageNavigator(pdfView_);
        if (!lastPageNote.isEmpty()) pageNavigator_->setLastPageNote(lastPageNote);
        return pdfRowSize(*pdfView_, 0);
    }
    if (document_->pageCount() > 1) {
        // The pages follow each other, fitted to the width, and scroll. The vertical scroll bar
        // stays, so the fitted width never changes with it.
        pdfView_->setPageMode(QPdfView::PageMode::MultiPage);
        pdfView_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
        pdfView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    pdfView_->setDocument(document_);
    return pdfRowSize(*pdfView_, 0);
}

QSizeF PreviewView::pdfRowSize(const QPdfView& view, int page) {
    if (!view.document()) return {};
    const QMargins margins = PageCentring::baseMargins(view);
    QSizeF size = view.document()->pagePointSize(page) +
                  QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom());
    if (view.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        size.rwidth() += view.verticalScrollBar()->sizeHint().width();
    return size;
}

}  // namespace vorrel
