#pragma once
// PreviewViewController: the preview extension's controller for one file.
//
// The quick-look service creates one controller per preview, asks for its view, then asks
// it to prepare the preview; it releases the controller afterwards.
//
// loadView() (run by the first view() call):
//   1. makes the root view (objectName "PreviewViewController");
//   2. runs the log set-up, Logging::shared().configure(), on every call;
//   3. fixes outputFormat(): PNG when the shared setting transparentBackground is true,
//      else PDF; read once per controller, so a later change affects later controllers;
//   4. PNG: an ImageView pinned to the root's four edges, inside a VisualEffectView
//      (popover material) when SystemVersion is below 26.0.0; PDF: a QPdfView showing one
//      page fitted into the view, with no page breaks, on a clear background; what it shows
//      is centred vertically when shorter than the view (PageCentring.h).
//
// preparePreviewOfFile(url, completion):
//   1. logs "Converting EPS file <name> to PDF|PNG", or for a PostScript document
//      (readSourceKind()) "Converting PostScript document <name> to PDF";
//   2. runs GhostScript(url, outputFormat(), 200).run() on a worker thread (never the
//      GUI thread); a thrown error ends the request with a sentence saying what went
//      wrong, in the user's language (the service's catalogue; exit statuses explained). A
//      PostScript document is converted to a PDF whatever outputFormat() says; the PNG view
//      is then replaced by the PDF view;
//   3. back on the GUI thread loads the converted file: PNG with QImageReader (the
//      process's image allocation limit raised to kImageAllocationLimitMB, so posters
//      load), PDF with QPdfDocument, which needs a page 0. When that fails it logs
//      "NO NSImage created from output file" or "NO PDFDocument created from output file",
//      removes the cached file and converts once more (steps 2 and 3, silently); when the
//      new file cannot be loaded either, it ends with ConversionError::unreadableOutput();
//      a drawing that comes out blank (BlankPreview.h) is measured and converted once more
//      (GhostScript::convertBlankAgain(): cropped to what it paints when its box misses that,
//      else on a grey backdrop when it paints only white); a result that still draws nothing
//      ends with "NAME draws nothing." (NAME the source's file name), logged as "Nothing drawn
//      in output file"; it is checked on every load, so a cached blank result fails the same way;
//   4. shows the result, sets preferredContentSize() and logs "Preview file at <name>". A
//      PostScript document is shown one page at a time, fitted into the view, with a
//      PageNavigator (Page Down/Up, Home/End, the wheel, "Page N of M"); a drawing's PDF of
//      several pages is shown as one column that scrolls, fitted to the view's width; one page
//      stays fitted into the view with no scroll bars;
//      With an interim handler (setInterimHandler()), a PostScript document whose PDF is not
//      in the cache yet also has its first page drawn alone at screen resolution (FirstPage.h,
//      72 dpi times the device pixel ratio), on another worker, started first: the document's
//      conversion starts when that run ends, or after kFirstPageHeadStart, whichever comes
//      first. When that page arrives before the PDF, the view shows it fitted as the PDF's
//      page will be (firstPageView(), with the label "Page 1"), sets preferredContentSize()
//      for it and calls the handler. The conversion's end stops that run. When the PDF arrives
//      it replaces the page in place, on the same page; when the conversion fails, the label
//      says why over the page. A first page that fails or finds no free slot is only logged;
//   5. starts the cache purge (CacheManager::clearCacheIfNeeded) on a worker, not waited
//      for, and calls the completion with no error.
// Every message is logged at debug level through Logging::shared().logger with the
// function name "preparePreviewOfFile(at:)". The completion is called exactly once, on the
// GUI thread, unless the controller is destroyed first: then its conversion is stopped (the
// converter killed, its in-progress file removed), the result is dropped and the completion
// is never called. No purge follows a failure.
//
// shutDown(bound), before the process exits (and before the plug-in could be unloaded):
//   1. no further work is accepted: later requests fail at once, no purge is started;
//   2. every running conversion of the process is stopped (ConverterRun::stopAll());
//   3. waits up to `bound` for the workers to finish: stopped conversions clean up, and a
//      purge that has started finishes, so its record and the settings file are whole.
// It returns whether the workers finished.
//
// Preferred content size, in device-independent pixels, with one point of the drawing to one
// pixel in both formats, so a drawing opens at the same size whatever the format:
//   PDF: the row showing page 0: the page's point size plus the view's base margins
//        (PageCentring.h), and the vertical scroll bar's width when it is always shown (several pages)
//        (pdfRowSize()). Fitted into that size, the view draws the page at exactly that scale.
//   PNG: the image's size in points, also the image view's natural (1:1) size: pixels × 72 / the resolution the PNG's physical-size
//        chunk (pHYs) records (Ghostscript records the 200 dpi it rendered at); a PNG
//        without one counts one pixel as one point (imageSizeInPoints()). The chunk is read
//        from the file because Qt reports its screen's default resolution for a PNG that
//        has none.
//
// Thread-safety: create, use and destroy on the GUI thread.

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSize>
#include <QSizeF>

#include <cstdint>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <stop_token>

#include "preview/PageNavigator.h"
#include "preview/contract/PreviewingController.h"
#include "cache/OutputFormat.h"

class QPdfDocument;
class QPdfView;
class QThreadPool;
class QWidget;

namespace vorrel {

class GhostScript;
class ImageView;
class VisualEffectView;

class PreviewViewController : public QObject, public quicklook::PreviewingController {
    Q_OBJECT
public:
    static constexpr std::int64_t kResolution = 200;
    static constexpr int kImageAllocationLimitMB = 1024;
    static constexpr const char* kFunctionName = "preparePreviewOfFile(at:)";
    // How long a document's conversion waits for its first page's converter to end.
    static constexpr std::chrono::milliseconds kFirstPageHeadStart{1000};

    explicit PreviewViewController(QObject* parent = nullptr);
    ~PreviewViewController() override;

    QWidget* view() override;
    bool isViewLoaded() const { return !view_.isNull(); }
    void loadView();

    void preparePreviewOfFile(const std::filesystem::path& url,
                              quicklook::PreviewCompletion completion) override;
    // readFileFacts() (FileFacts.h) of the source and its PDF, on a worker.
    void describePreview(quicklook::FactsCompletion completion) override;
    QSizeF preferredContentSize() const override { return preferredContentSize_; }
    std::filesystem::path previewFileURL() const override { return previewFileURL_; }
    // The format shown: PDF for a document, whatever outputFormat() says.
    QString previewFormatName() const override;
    int previewPageCount() const override;
    void setInterimHandler(std::function<void()> shown) override;
    // The conversion runs as GhostScript::background: never waiting for a slot, at low priority.
    void setBackground() override { background_ = true; }
    // The file's PDF (GhostScript, through the cache, on a worker) written by writeExport()
    // (PreviewExport.h).
    void exportPreview(const quicklook::ExportRequest& request,
                       quicklook::PreviewCompletion completion) override;
    // PNG, and a document's first page before its PDF: zooms the image view by `factor` (0:
    // fitted) from the scale it shows now. The PDF keeps a first page's zoom.
    bool zoom(double factor) override;
    // False for a document whose PDF holds only the pages drawn before it failed
    // (IncompleteDocument.h); its last page then carries "Page N could not be drawn: REASON".
    bool previewComplete() const override { return !incomplete_; }

    // The format of this controller, read from the settings on first use and then kept.
    OutputFormat outputFormat();

    QPdfView* pdfView() const { return pdfView_; }
    ImageView* imageView() const { return imageView_; }
    // The backdrop around imageView() on older systems; null otherwise.
    VisualEffectView* backdropView() const { return backdropView_; }
    QPdfDocument* document() const { return document_; }
    // A document's first page while its PDF is made; null otherwise.
    QWidget* firstPageView() const;
    // The pages of a PostScript document shown; null for a drawing.
    PageNavigator* pageNavigator() const { return pageNavigator_; }

    // The workers that run conversions and purges (to wait for them in tests and at exit).
    static QThreadPool& workers();
    // Stops all work before the process exits (see above).
    static bool shutDown(std::chrono::milliseconds bound);
    static constexpr std::chrono::milliseconds kShutDownBound{5000};

    static QSizeF pdfRowSize(const QPdfView& view, int page);
    // The resolution in dots per inch (x, y) in a PNG file's pHYs chunk, or nothing when the
    // file has none, gives it without a unit, or is no PNG.
    static std::optional<QPointF> pngDotsPerInch(const std::filesystem::path& file);
    static QSizeF imageSizeInPoints(QSize pixels, std::optional<QPointF> dotsPerInch);

private:
    // Steps 2 and 3; `retry` when a cached file that could not be loaded was removed.
    void convert(const std::filesystem::path& url, quicklook::PreviewCompletion completion,
                 bool retry);
    void finishPreview(const std::filesystem::path& url, const std::filesystem::path& outputFile,
                       OutputFormat format, bool paged,
                       const quicklook::PreviewCompletion& completion, bool retry);
    // A drawing shown blank: GhostScript::convertBlankAgain() on a worker, then finishPreview().
    void convertBlankAgain(const std::filesystem::path& url, const std::filesystem::path& blank,
                           OutputFormat format, const quicklook::PreviewCompletion& completion);
    // Ready when the first page's run has ended (its page handed to the GUI thread, or none).
    static std::shared_future<void> drawFirstPage(const QPointer<PreviewViewController>& controller,
                                                  const GhostScript& conversion,
                                                  double dotsPerInch, std::stop_token stop);
    void showFirstPage(QImage image, QSizeF points);
    void endFirstPage(const QString& error);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void makePdfView();
    void showDocumentsAsPdf();
    bool showImage(const std::filesystem::path& outputFile);
    bool showDocument(const std::filesystem::path& outputFile, bool paged);

    QPointer<QWidget> view_;
    QPdfView* pdfView_ = nullptr;
    ImageView* imageView_ = nullptr;
    VisualEffectView* backdropView_ = nullptr;
    QPdfDocument* document_ = nullptr;
    QPointer<PageNavigator> pageNavigator_;
    std::optional<OutputFormat> outputFormat_;
    OutputFormat shownFormat_ = OutputFormat::PDF;
    QSizeF preferredContentSize_;
    std::filesystem::path previewFileURL_;
    std::filesystem::path source_;  // the file of the request
    std::stop_source conversionStop_;
    bool background_ = false;
    std::function<void()> interimHandler_;
    std::stop_source firstPageStop_;
    QPointer<QWidget> firstPageView_;
    QPointer<ImageView> firstPageImage_;  // inside firstPageView_
    bool blankMeasured_ = false;  // a blank drawing was measured and converted again
    bool incomplete_ = false;     // the document shown is incomplete
};

}  // namespace vorrel
