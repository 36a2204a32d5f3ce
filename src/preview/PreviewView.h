#pragma once
// PreviewView: the widgets one controller shows, built for one output format.
//
//  - The root (objectName "PreviewViewController", translucent) holds, pinned to its edges:
//    for PNG an ImageView, inside a VisualEffectView (popover material) when SystemVersion is
//    below 26.0.0; for PDF a QPdfView showing one page fitted into the view, with no page
//    breaks and no scroll bars, on a clear background, centred vertically when shorter than
//    the view (PageCentring.h).
//  - showAsPdf() replaces the picture's views by a PDF view (a document is always a PDF).
//  - showImage() and showDocument() load a converted file and show it; they return the
//    preferred content size (see PreviewViewController.h), or nothing when the file cannot be
//    read, and then leave what was shown as it was.
//  - A paged document gets a PageNavigator; a drawing of several pages is one column that
//    scrolls, fitted to the width, with its vertical scroll bar always shown.
//
// The root is deleted with the PreviewView unless someone else deleted it first; the document
// outlives the root. Thread-safety: GUI thread only.

#include <QPointer>
#include <QSizeF>
#include <QString>

#include <filesystem>
#include <optional>

#include "cache/OutputFormat.h"

class QPdfDocument;
class QPdfView;
class QVBoxLayout;
class QWidget;

namespace vorrel {

class ImageView;
class PageNavigator;
class VisualEffectView;

class PreviewView {
public:
    explicit PreviewView(OutputFormat format);
    ~PreviewView();
    PreviewView(const PreviewView&) = delete;
    PreviewView& operator=(const PreviewView&) = delete;

    QWidget* root() const { return root_.data(); }
    QPdfView* pdfView() const { return pdfView_; }
    ImageView* imageView() const { return imageView_; }
    VisualEffectView* backdropView() const { return backdropView_; }
    QPdfDocument* document() const { return document_; }
    PageNavigator* pageNavigator() const { return pageNavigator_.data(); }

    void showAsPdf();
    std::optional<QSizeF> showImage(const std::filesystem::path& png);
    // `paged`: a PostScript document, shown one page at a time. `lastPageNote` is what its last
    // page says when the document is incomplete (IncompleteDocument.h).
    std::optional<QSizeF> showDocument(const std::filesystem::path& pdf, bool paged,
                                       const QString& lastPageNote = {});

    // The size of the row showing `page`: its point size, the view's base margins, and the
    // vertical scroll bar when it is always shown.
    static QSizeF pdfRowSize(const QPdfView& view, int page);

private:
    void makePdfView();

    QPointer<QWidget> root_;
    QPdfView* pdfView_ = nullptr;
    ImageView* imageView_ = nullptr;
    VisualEffectView* backdropView_ = nullptr;
    QPdfDocument* document_ = nullptr;
    QPointer<PageNavigator> pageNavigator_;
};

// A layout that pins its widgets to all four edges of `container`.
QVBoxLayout* pinningLayout(QWidget* container);

}  // namespace vorrel
