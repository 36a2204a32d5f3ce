#pragma once
// PreviewViewController: the preview extension's controller for one file.
//
// The quick-look service creates one controller per preview, asks for its view, then asks
// it to prepare the preview; it releases the controller afterwards.
//
// loadView() (run by the first view() call):
//   1. runs the log set-up, Logging::shared().configure(), on every call;
//   2. fixes outputFormat(): PNG when the shared setting transparentBackground is true,
//      else PDF; read once per controller, so a later change affects later controllers;
//   3. builds the view for that format (PreviewView.h).
//
// preparePreviewOfFile(url, completion):
//   1. logs "Converting EPS file <name> to PDF|PNG", or for a PostScript document
//      (readSourceKind()) "Converting PostScript document <name> to PDF";
//   2. runs GhostScript(url, outputFormat(), 200).run() on a worker thread (Workers.h, never
//      the GUI thread); a thrown error ends the request with a sentence saying what went
//      wrong (FailureText.h). A PostScript document is converted to a PDF whatever
//      outputFormat() says; the PNG view is then replaced by the PDF view;
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
//   4. shows the result (PreviewView.h: a document one page at a time with a PageNavigator),
//      sets preferredContentSize() and logs "Preview file at <name>".
//      With an interim handler (setInterimHandler()), a PostScript document whose PDF is not
//      in the cache yet also has its first page drawn alone at screen resolution (FirstPage.h,
//      72 dpi times the device pixel ratio), on another worker, started first: the document's
//      conversion starts when that run ends, or after kFirstPageHeadStart, whichever comes
//      first. When that page arrives before the PDF, the view shows it fitted as the PDF's
//      page will be (firstPageView(), FirstPageView.h), sets preferredContentSize() for it and
//      calls the handler. The conversion's end stops that run. When the PDF arrives it
//      replaces the page in place, on the same page, then applies the page keys pressed
//      meanwhile (FirstPageView::queuedMoves()); when the conversion fails, the label says
//      why over the page. A first page that fails or finds no free slot is only logged;
//   5. starts the cache purge (CacheManager::clearCacheIfNeeded) on a worker, not waited
//      for, and calls the completion with no error.
// Every message is logged at debug level through Logging::shared().logger with the
// function name "preparePreviewOfFile(at:)". The completion is called exactly once, on the
// GUI thread, unless the controller is destroyed first: then its conversion is stopped (the
// converter killed, its in-progress file removed), the result is dropped and the completion
// is never called. No purge follows a failure.
//
// shutDown(bound), before the process exits (and before the plug-in could be unloaded), is
// Workers::shutDown(): later requests fail at once and start no purge; running conversions
// are stopped and clean up, and a purge that has started finishes, so its record and the
// settings file are whole. It returns whether the workers finished in time.
//
// Preferred content size, in device-independent pixels, with one point of the drawing to one
// pixel in both formats, so a drawing opens at the same size whatever the format:
//   PDF: the row showing page 0 (PreviewView::pdfRowSize()). Fitted into that size, the view
//        draws the page at exactly that scale.
//   PNG: the image's size in points (PngImage.h), also the image view's natural (1:1) size.
//
// Thread-safety: create, use and destroy on the GUI thread.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <cstdint>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <stop_token>

#include "preview/headstart/HeadStart.h"
#include "preview/FirstPageView.h"
#include "preview/PageNavigator.h"
#include "preview/PreviewView.h"
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
    static constexpr std::int64_t kResolution = kPreviewResolution;
    static constexpr int kImageAllocationLimitMB = 1024;
    static constexpr const char* kFunctionName = "preparePreviewOfFile(at:)";
    // How long a document's conversion waits for its first page's converter to end.
    static constexpr std::chrono::milliseconds kFirstPageHeadStart{1000};

    explicit PreviewViewController(QObject* parent = nullptr);
    ~PreviewViewController() override;

    QWidget* view() override;
    bool isViewLoaded() const { return view_ && view_->root(); }
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

    QPdfView* pdfView() const { return view_ ? view_->pdfView() : nullptr; }
    ImageView* imageView() const { return view_ ? view_->imageView() : nullptr; }
    // The backdrop around imageView() on older systems; null otherwise.
    VisualEffectView* backdropView() const { return view_ ? view_->backdropView() : nullptr; }
    QPdfDocument* document() const { return view_ ? view_->document() : nullptr; }
    // A document's first page while its PDF is made; null otherwise.
    FirstPageView* firstPageView() const { return firstPageView_.data(); }
    // The pages of a PostScript document shown; null for a drawing.
    PageNavigator* pageNavigator() const { return view_ ? view_->pageNavigator() : nullptr; }

    // The workers that run conversions and purges (to wait for them in tests and at exit).
    static QThreadPool& workers();
    // Stops all work before the process exits (see above).
    static bool shutDown(std::chrono::milliseconds bound);
    static constexpr std::chrono::milliseconds kShutDownBound{5000};

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
    bool show(const std::filesystem::path& outputFile, OutputFormat format, bool paged);

    std::unique_ptr<PreviewView> view_;
    std::optional<OutputFormat> outputFormat_;
    OutputFormat shownFormat_ = OutputFormat::PDF;
    QSizeF preferredContentSize_;
    std::filesystem::path previewFileURL_;
    std::filesystem::path source_;  // the file of the request
    std::stop_source conversionStop_;
    bool background_ = false;
    std::function<void()> interimHandler_;
    std::stop_source firstPageStop_;
    QPointer<FirstPageView> firstPageView_;
    bool blankMeasured_ = false;  // a blank drawing was measured and converted again
    bool incomplete_ = false;     // the document shown is incomplete
};

}  // namespace vorrel
