#include "preview/PreviewViewController.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLayout>
#include <QMetaObject>
#include <QPdfDocument>
#include <QPdfView>
#include <QScopeGuard>
#include <QThreadPool>
#include <QWidget>

#include <exception>
#include <future>
#include <memory>
#include <string>
#include <utility>

#include "cache/CacheManager.h"
#include "conversion/ConversionError.h"
#include "conversion/ConverterRun.h"
#include "conversion/FirstPage.h"
#include "conversion/GhostScript.h"
#include "conversion/IncompleteDocument.h"
#include "conversion/SourceKind.h"
#include "platform/PrintableText.h"
#include "preview/BlankPreview.h"
#include "preview/FailureText.h"
#include "preview/FileFacts.h"
#include "preview/ImageView.h"
#include "preview/Logging.h"
#include "preview/PageCentring.h"
#include "preview/PngImage.h"
#include "preview/PreviewExport.h"
#include "preview/Workers.h"
#include "preview/zoom/PdfZoom.h"

namespace vorrel {

namespace {

void debug(const std::string& message) {
    Logging::shared().logger.debug(message, PreviewViewController::kFunctionName);
}

// Names are the user's: no control character of theirs reaches a log line or a terminal.
std::string lastPathComponent(const std::filesystem::path& path) {
    return platform::escapeControlCharacters(path.filename().string());
}

}  // namespace

PreviewViewController::PreviewViewController(QObject* parent) : QObject(parent) {
    // Qt refuses images above 128 MB by default; a poster at 200 dpi is larger than that.
    QImageReader::setAllocationLimit(kImageAllocationLimitMB);
}

PreviewViewController::~PreviewViewController() {
    conversionStop_.request_stop();  // nobody will show the result: free its slot at once
    firstPageStop_.request_stop();
    view_.reset();
}

QWidget* PreviewViewController::view() {
    if (!isViewLoaded()) loadView();
    return view_->root();
}

void PreviewViewController::loadView() {
    view_.reset();
    Logging::shared().configure();
    view_ = std::make_unique<PreviewView>(outputFormat());
}

OutputFormat PreviewViewController::outputFormat() {
    if (!outputFormat_)
        outputFormat_ = previewFormat();
    return *outputFormat_;
}

QString PreviewViewController::previewFormatName() const {
    if (previewFileURL_.empty()) return {};
    return QString::fromLatin1(logWord(shownFormat_).data(),
                               static_cast<int>(logWord(shownFormat_).size()));
}

int PreviewViewController::previewPageCount() const {
    if (previewFileURL_.empty() || shownFormat_ != OutputFormat::PDF || !document()) return 0;
    return document()->pageCount();
}

bool PreviewViewController::zoom(double factor) {
    // While a document's first page stands in for its PDF, the keys zoom that page; the PDF
    // takes the zoom over when it arrives (endFirstPage()).
    ImageView* image = firstPageView_ ? firstPageView_->image() : imageView();
    // Nothing shown yet has no scale to start from.
    if (!image || image->image().isNull()) return false;
    image->setZoom(factor > 0 ? image->effectiveZoom() * factor : 0);
    return true;
}

QThreadPool& PreviewViewController::workers() { return Workers::pool(); }

bool PreviewViewController::shutDown(std::chrono::milliseconds bound) {
    return Workers::shutDown(bound);
}

void PreviewViewController::preparePreviewOfFile(const std::filesystem::path& url,
                                                 quicklook::PreviewCompletion completion) {
    const OutputFormat format = outputFormat();
    // A document is always a PDF; reading its kind costs the file's first few kilobytes.
    const bool document = readSourceKind(url).document;
    debug(std::string(document ? "Converting PostScript document " : "Converting EPS file ") +
          lastPathComponent(url) + " to " +
          std::string(logWord(document ? OutputFormat::PDF : format)));

    if (!Workers::accepting()) {
        const ConverterRun::Cancelled stopped(url);
        debug(stopped.what());
        QMetaObject::invokeMethod(
            this,
            [completion, text = tr("The preview was stopped.").toStdString()] {
                completion(quicklook::PreviewError{text});
            },
            Qt::QueuedConnection);
        return;
    }
    source_ = url;
    convert(url, std::move(completion), false);
}

void PreviewViewController::exportPreview(const quicklook::ExportRequest& request,
                                          quicklook::PreviewCompletion completion) {
    if (previewFileURL_.empty() || !Workers::accepting()) {
        QMetaObject::invokeMethod(
            this,
            [completion, text = tr("There is no preview to take yet.").toStdString()] {
                completion(quicklook::PreviewError{text});
            },
            Qt::QueuedConnection);
        return;
    }
    QPointer<PreviewViewController> self(this);
    workers().start([self = std::move(self), source = source_, request,
                     stop = conversionStop_.get_token(), completion = std::move(completion)] {
        QString failure;
        try {
            const GhostScript conversion(source, OutputFormat::PDF, kResolution);
            failure = writeExport(conversion.run(stop), source, request);
        } catch (...) {
            failure = QString::fromStdString(previewError(std::current_exception()).localizedDescription);
        }
        QMetaObject::invokeMethod(
            qApp,
            [self, failure, completion] {
                if (!self) return;
                if (failure.isEmpty()) {
                    completion(std::nullopt);
                } else {
                    completion(quicklook::PreviewError{failure.toStdString()});
                }
            },
            Qt::QueuedConnection);
    });
}

void PreviewViewController::describePreview(quicklook::FactsCompletion completion) {
    if (previewFileURL_.empty() || !Workers::accepting()) {
        QMetaObject::invokeMethod(
            this, [completion] { completion(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    QPointer<PreviewViewController> self(this);
    workers().start([self = std::move(self), source = source_, stop = conversionStop_.get_token(),
                     completion = std::move(completion)] {
        std::optional<quicklook::PreviewFacts> facts;
        try {
            // The PDF: the preview's own, or (shown as PNG) the one the cache has or makes.
            const GhostScript conversion(source, OutputFormat::PDF, kResolution);
            facts = readFileFacts(source, conversion.run(stop));
        } catch (const std::exception& error) {
            Logging::shared().logger.debug(std::string("No facts: ") + error.what(), kFunctionName);
        }
        QMetaObject::invokeMethod(
            qApp,
            [self, facts = std::move(facts), completion] {
                if (self) completion(facts);
            },
            Qt::QueuedConnection);
    });
}

void PreviewViewController::setInterimHandler(std::function<void()> shown) {
    interimHandler_ = std::move(shown);
}

// Draws a document's first page on a worker and hands it to showFirstPage() on the GUI thread;
// a page that cannot be drawn or read is only logged.
std::shared_future<void> PreviewViewController::drawFirstPage(
    const QPointer<PreviewViewController>& controller, const GhostScript& conversion,
    double dotsPerInch, std::stop_token stop) {
    auto drawn = std::make_shared<std::promise<void>>();
    std::shared_future<void> converterEnded = drawn->get_future().share();
    workers().start([controller, conversion, dotsPerInch, stop, drawn = std::move(drawn)] {
        QImage image;
        QSizeF points;
        // The end of this run (the page handed on, or no page) lets the document's conversion start.
        const auto release = qScopeGuard([&drawn] { drawn->set_value(); });
        try {
            const FirstPage page(conversion, dotsPerInch, stop);
            // The resolution asked for: the PNG records it rounded to whole dots per metre.
            PngImage png = readPngImage(page.file(), QPointF(dotsPerInch, dotsPerInch));
            image = std::move(png.image);
            points = png.points;
        } catch (const ConverterRun::Cancelled&) {
            return;  // the whole document came first, or the preview went
        } catch (const std::exception& error) {
            debug("First page not drawn: " + std::string(error.what()));
            return;
        }
        if (image.isNull() || stop.stop_requested()) return;
        QMetaObject::invokeMethod(
            qApp,
            [controller, image = std::move(image), points]() mutable {
                if (controller) controller->showFirstPage(std::move(image), points);
            },
            Qt::QueuedConnection);
    });
    return converterEnded;
}

void PreviewViewController::convert(const std::filesystem::path& url,
                                    quicklook::PreviewCompletion completion, bool retry) {
    const OutputFormat format = outputFormat();
    QPointer<PreviewViewController> self(this);
    // A first look only for the first attempt of a request that asked for one.
    std::optional<std::stop_source> firstPage;
    if (interimHandler_ && !retry && !firstPageStop_.stop_requested()) firstPage = firstPageStop_;
    const double dotsPerInch = 72.0 * qApp->devicePixelRatio();
    workers().start([self = std::move(self), url, format, retry, firstPage, dotsPerInch,
                     background = background_, stop = conversionStop_.get_token(),
                     completion = std::move(completion)]() mutable {
        std::filesystem::path output;
        OutputFormat shown = format;
        bool document = false;
        std::exception_ptr error;
        try {
            GhostScript conversion(url, format, kResolution);
            conversion.background = background;
            shown = conversion.outputFormat;  // a document is a PDF whatever was asked for
            document = conversion.kind.document;
            std::error_code ignored;
            if (firstPage && document && !std::filesystem::exists(conversion.outputFileURL, ignored)) {
                // A head start: on busy processors the two runs would share them, and the page
                // the user looks at would come later.
                drawFirstPage(self, conversion, dotsPerInch, firstPage->get_token())
                    .wait_for(kFirstPageHeadStart);
            }
            output = conversion.run(std::move(stop));
        } catch (...) {
            error = std::current_exception();
        }
        // The first page is no use once the whole document is there, or cannot be.
        if (firstPage) firstPage->request_stop();
        // Back to the GUI thread; the application object outlives every controller, and the
        // guard tells whether this one is still there.
        QMetaObject::invokeMethod(
            qApp,
            [self = std::move(self), url, retry, output = std::move(output), shown, document,
             error = std::move(error), completion = std::move(completion)] {
                if (!self) return;
                if (error) {
                    const quicklook::PreviewError failure = previewError(error);
                    self->endFirstPage(QString::fromStdString(failure.localizedDescription));
                    completion(failure);
                    return;
                }
                self->finishPreview(url, output, shown, document, completion, retry);
            },
            Qt::QueuedConnection);
    });
}

void PreviewViewController::finishPreview(const std::filesystem::path& url,
                                          const std::filesystem::path& outputFile,
                                          OutputFormat format, bool paged,
                                          const quicklook::PreviewCompletion& completion,
                                          bool retry) {
    const bool shown = show(outputFile, format, paged);
    if (!shown && !retry && Workers::accepting()) {
        // A damaged cached file would otherwise be served for ever.
        std::error_code ignored;
        std::filesystem::remove(outputFile, ignored);
        convert(url, completion, true);
        return;
    }
    if (!shown) {
        const QString text = failureText(ConversionError::unreadableOutput());
        endFirstPage(text);
        completion(quicklook::PreviewError{text.toStdString()});
        return;
    }
    if (format == OutputFormat::PNG ? drawsNothing(imageView()->image())
                                    : drawsNothing(*document(), outputFile)) {
        if (!paged && !blankMeasured_ && Workers::accepting()) {
            // A box that misses the drawing, or a drawing in white: measured and drawn again.
            blankMeasured_ = true;
            convertBlankAgain(url, outputFile, format, completion);
            return;
        }
        // A failure, not a preview: checked on every load, so a cached blank result says so too.
        debug("Nothing drawn in output file");
        const QString text = tr("%1 draws nothing.").arg(QFile::decodeName(url.filename().c_str()));
        endFirstPage(text);
        completion(quicklook::PreviewError{text.toStdString()});
        return;
    }
    endFirstPage({});
    previewFileURL_ = outputFile;
    shownFormat_ = format;
    debug("Preview file at " + lastPathComponent(outputFile));

    if (Workers::accepting()) workers().start([] { CacheManager::clearCacheIfNeeded(); }, -1);
    completion(std::nullopt);
}

void PreviewViewController::convertBlankAgain(const std::filesystem::path& url,
                                              const std::filesystem::path& blank,
                                              OutputFormat format,
                                              const quicklook::PreviewCompletion& completion) {
    QPointer<PreviewViewController> self(this);
    workers().start([self = std::move(self), url, blank, format,
                     stop = conversionStop_.get_token(), completion]() mutable {
        std::optional<std::filesystem::path> output;
        std::exception_ptr error;
        try {
            const GhostScript conversion(url, format, kResolution);
            output = conversion.convertBlankAgain(blank, std::move(stop));
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            qApp,
            [self = std::move(self), url, blank, output = std::move(output), format,
             error = std::move(error), completion = std::move(completion)] {
                if (!self) return;
                if (error) {
                    const quicklook::PreviewError failure = previewError(error);
                    self->endFirstPage(QString::fromStdString(failure.localizedDescription));
                    completion(failure);
                    return;
                }
                // Nothing painted at all: the blank file again, which then says so.
                self->finishPreview(url, output.value_or(blank), format, false, completion, true);
            },
            Qt::QueuedConnection);
    });
}

void PreviewViewController::showFirstPage(QImage image, QSizeF points) {
    if (firstPageStop_.stop_requested() || !interimHandler_ || !isViewLoaded()) return;
    // The page goes where the PDF's page will be: the PDF view's margins around it, fitted.
    view_->showAsPdf();
    view_->pdfView()->hide();
    auto* page = new FirstPageView(std::move(image), points,
                                   PageCentring::baseMargins(*view_->pdfView()));
    view_->root()->layout()->addWidget(page);
    firstPageView_ = page;
    preferredContentSize_ = page->preferredSize();
    debug("First page shown");
    std::exchange(interimHandler_, nullptr)();
}

void PreviewViewController::endFirstPage(const QString& error) {
    if (!firstPageView_) return;
    if (!error.isEmpty()) {
        firstPageView_->showError(error);  // what was reached stays, with the reason
        return;
    }
    // The PDF is shown in its place, and the window keeps its size, the zoom (as against the
    // fitted page) and the page moves that the user gave the first page.
    QPdfView* pdf = view_->pdfView();
    const QRect place = firstPageView_->geometry();
    const double zoom = firstPageView_->zoomAgainstFitted();
    const std::vector<PageNavigator::Move> moves = firstPageView_->queuedMoves();
    delete firstPageView_.data();
    pdf->show();
    if (zoom > 0) {
        pdf->setGeometry(place);  // the fitted scale comes from the viewport's size
        quicklook::zoomBy(*pdf, zoom);
    }
    // The page keys pressed while the first page stood in for the PDF.
    if (PageNavigator* navigator = view_->pageNavigator())
        for (const PageNavigator::Move move : moves) navigator->move(move);
}

bool PreviewViewController::show(const std::filesystem::path& outputFile, OutputFormat format,
                                 bool paged) {
    view();
    std::optional<QSizeF> size;
    if (format == OutputFormat::PNG) {
        size = view_->showImage(outputFile);
        if (!size) debug("NO NSImage created from output file");
    } else {
        view_->showAsPdf();
        std::optional<IncompleteDocument> mark;
        if (paged) mark = IncompleteDocument::read(outputFile);
        QString note;
        if (mark) {
            const QString reason = mark->cut()
                                       ? tr("the compressed file ends before it.")
                                       : tr("PostScript error %1.").arg(QString::fromStdString(mark->error));
            note = tr("Page %1 could not be drawn: %2").arg(mark->failedPage).arg(reason);
        }
        size = view_->showDocument(outputFile, paged, note);
        if (!size) {
            debug("NO PDFDocument created from output file");
        } else if (mark) {
            debug(note.toStdString());
            incomplete_ = true;
        }
    }
    if (size) preferredContentSize_ = *size;
    return size.has_value();
}

}  // namespace vorrel
