#include "preview/PreviewViewController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMetaObject>
#include <QPdfDocument>
#include <QPdfView>
#include <QScopeGuard>
#include <QScrollBar>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdint>
#include <exception>
#include <fstream>
#include <future>
#include <memory>
#include <string_view>
#include <string>
#include <utility>

#include "preview/BlankPreview.h"
#include "cache/CacheManager.h"
#include "preview/ImageView.h"
#include "preview/Logging.h"
#include "preview/PageCentring.h"
#include "preview/PageNavigator.h"
#include "preview/VisualEffectView.h"
#include "platform/PrintableText.h"
#include "platform/SystemVersion.h"
#include "settings/Prefs.h"
#include "preview/zoom/PdfZoom.h"
#include "conversion/ConversionError.h"
#include "conversion/Decompression.h"
#include "conversion/ConverterRun.h"
#include "conversion/FirstPage.h"
#include "conversion/GhostScript.h"
#include "conversion/IncompleteDocument.h"
#include "conversion/SourceKind.h"
#include "preview/PreviewExport.h"
#include "preview/FileFacts.h"
#include "settings/SharedSettings.h"

namespace vorrel {

namespace {

void debug(const std::string& message) {
    Logging::shared().logger.debug(message, PreviewViewController::kFunctionName);
}

// Names are the user's: no control character of theirs reaches a log line or a terminal.
std::string lastPathComponent(const std::filesystem::path& path) {
    return platform::escapeControlCharacters(path.filename().string());
}

QVBoxLayout* pinningLayout(QWidget* container) {
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

// Cleared by shutDown(); read and written on the GUI thread only.
bool acceptingWork = true;

QString tr(const char* text) {
    return QCoreApplication::translate("vorrel::PreviewViewController", text);
}

// What the user reads when a conversion failed, in the user's language (the catalogue
// the preview service installs); the English texts stay in the log.
QString describe(const ConversionError& error) {
    switch (error.kind()) {
    case ConversionError::Case::converterFailed:
        // Ghostscript ends with 1 when the file itself stops it.
        if (error.status() == 1)
            return tr("Ghostscript could not convert this file. It may be damaged, or not be PostScript.");
        return tr("Ghostscript stopped with an error (status %1) while converting this file.")
            .arg(error.status());
    case ConversionError::Case::outputMissing: return tr("Ghostscript finished without making a preview of this file.");
    case ConversionError::Case::timedOut:
        return tr("Ghostscript did not finish within %1 seconds.").arg(ConversionError::kTimeLimitSeconds);
    case ConversionError::Case::unreadableOutput: return tr("The converted file could not be read.");
    case ConversionError::Case::emptyFile: return tr("The EPS file is empty.");
    case ConversionError::Case::outputTooLarge: return tr("Ghostscript wrote more than 1 GiB.");
    }
    return QString::fromUtf8(error.what());
}

quicklook::PreviewError previewError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ConversionError& conversion) {
        return {describe(conversion).toStdString()};
    } catch (const DecompressionError& decompression) {
        if (decompression.limitText().empty()) return {tr("The compressed file is damaged.").toStdString()};
        return {tr("The compressed file expands to more than %1.")
                    .arg(QString::fromStdString(decompression.limitText()))
                    .toStdString()};
    } catch (const ConverterRun::Cancelled&) {
        return {tr("The preview was stopped.").toStdString()};
    } catch (const ConverterRun::NotEnoughSpace& space) {
        return {tr("Not enough disk space to preview \u201c%1\u201d: Vorrel needs about %2 MB in %3.")
                    .arg(QString::fromStdString(space.name()))
                    .arg(space.megabytes())
                    .arg(QString::fromStdString(space.folder()))
                    .toStdString()};
    } catch (const std::exception& exception) {
        return {tr("The preview could not be made: %1").arg(QString::fromLocal8Bit(exception.what())).toStdString()};
    } catch (...) {
        return {tr("The preview could not be made.").toStdString()};
    }
}

}  // namespace

PreviewViewController::PreviewViewController(QObject* parent) : QObject(parent) {
    // Qt refuses images above 128 MB by default; a poster at 200 dpi is larger than that.
    QImageReader::setAllocationLimit(kImageAllocationLimitMB);
}

PreviewViewController::~PreviewViewController() {
    conversionStop_.request_stop();  // nobody will show the result: free its slot at once
    firstPageStop_.request_stop();
    delete view_.data();
}

QWidget* PreviewViewController::view() {
    if (!view_) loadView();
    return view_;
}

void PreviewViewController::loadView() {
    delete view_.data();
    pdfView_ = nullptr;
    imageView_ = nullptr;
    backdropView_ = nullptr;

    auto* root = new QWidget;
    root->setObjectName(QStringLiteral("PreviewViewController"));
    root->setAttribute(Qt::WA_TranslucentBackground);
    view_ = root;

    Logging::shared().configure();

    QVBoxLayout* rootLayout = pinningLayout(root);
    if (outputFormat() == OutputFormat::PNG) {
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

void PreviewViewController::makePdfView() {
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
    view_->layout()->addWidget(pdfView_);
}

void PreviewViewController::showDocumentsAsPdf() {
    if (pdfView_) return;
    // A document is shown as a PDF whatever the setting: it replaces the picture's view.
    delete backdropView_;
    backdropView_ = nullptr;
    delete imageView_;
    imageView_ = nullptr;
    makePdfView();
}

OutputFormat PreviewViewController::outputFormat() {
    if (!outputFormat_)
        outputFormat_ = Prefs::get(transparentBackground()) ? OutputFormat::PNG : OutputFormat::PDF;
    return *outputFormat_;
}

QString PreviewViewController::previewFormatName() const {
    if (previewFileURL_.empty()) return {};
    return QString::fromLatin1(logWord(shownFormat_).data(),
                               static_cast<int>(logWord(shownFormat_).size()));
}

int PreviewViewController::previewPageCount() const {
    if (previewFileURL_.empty() || shownFormat_ != OutputFormat::PDF || !document_) return 0;
    return document_->pageCount();
}

bool PreviewViewController::zoom(double factor) {
    // While a document's first page stands in for its PDF, the keys zoom that page; the PDF
    // takes the zoom over when it arrives (endFirstPage()).
    ImageView* image = firstPageView_ ? firstPageImage_.data() : imageView_;
    // Nothing shown yet has no scale to start from.
    if (!image || image->image().isNull()) return false;
    image->setZoom(factor > 0 ? image->effectiveZoom() * factor : 0);
    return true;
}

QThreadPool& PreviewViewController::workers() {
    // Our own pool: a conversion blocks its thread for up to a minute, which must not starve
    // Qt's global pool; the 4 conversion slots bound the converters, not this pool.
    static QThreadPool* pool = [] {
        auto* threads = new QThreadPool;
        threads->setMaxThreadCount(8);
        return threads;
    }();
    return *pool;
}

bool PreviewViewController::shutDown(std::chrono::milliseconds bound) {
    acceptingWork = false;
    ConverterRun::stopAll();
    return workers().waitForDone(static_cast<int>(bound.count()));
}

void PreviewViewController::preparePreviewOfFile(const std::filesystem::path& url,
                                                 quicklook::PreviewCompletion completion) {
    const OutputFormat format = outputFormat();
    // A document is always a PDF; reading its kind costs the file's first few kilobytes.
    const bool document = readSourceKind(url).document;
    debug(std::string(document ? "Converting PostScript document " : "Converting EPS file ") +
          lastPathComponent(url) + " to " +
          std::string(logWord(document ? OutputFormat::PDF : format)));

    if (!acceptingWork) {
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
    if (previewFileURL_.empty() || !acceptingWork) {
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
    if (previewFileURL_.empty() || !acceptingWork) {
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
            image = QImageReader(QFile::decodeName(page.file().c_str())).read();
            // The resolution asked for: the PNG records it rounded to whole dots per metre.
            points = imageSizeInPoints(image.size(), QPointF(dotsPerInch, dotsPerInch));
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
    view();
    if (format == OutputFormat::PDF) showDocumentsAsPdf();
    const bool shown =
        format == OutputFormat::PNG ? showImage(outputFile) : showDocument(outputFile, paged);
    if (!shown && !retry && acceptingWork) {
        // A damaged cached file would otherwise be served for ever.
        std::error_code ignored;
        std::filesystem::remove(outputFile, ignored);
        convert(url, completion, true);
        return;
    }
    if (!shown) {
        const QString text = describe(ConversionError::unreadableOutput());
        endFirstPage(text);
        completion(quicklook::PreviewError{text.toStdString()});
        return;
    }
    if (format == OutputFormat::PNG ? drawsNothing(imageView_->image()) : drawsNothing(*document_)) {
        if (!paged && !blankMeasured_ && acceptingWork) {
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

    if (acceptingWork) workers().start([] { CacheManager::clearCacheIfNeeded(); }, -1);
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
    if (firstPageStop_.stop_requested() || !interimHandler_ || !view_) return;
    // The page goes where the PDF's page will be: the PDF view's margins around it, fitted.
    showDocumentsAsPdf();
    pdfView_->hide();
    const QMargins margins = PageCentring::baseMargins(*pdfView_);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("firstPage"));
    auto* layout = pinningLayout(page);
    layout->setContentsMargins(margins);
    auto* imageView = new ImageView;
    firstPageImage_ = imageView;
    imageView->setImage(std::move(image));
    imageView->setNaturalSize(points);
    imageView->setFrameShape(QFrame::NoFrame);
    layout->addWidget(imageView);
    QLabel* label = PageNavigator::makeLabel(page);
    label->setText(tr("Page %1").arg(1));
    label->setWordWrap(true);
    page->installEventFilter(this);
    view_->layout()->addWidget(page);
    firstPageView_ = page;
    preferredContentSize_ =
        points + QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom());
    debug("First page shown");
    std::exchange(interimHandler_, nullptr)();
}

QWidget* PreviewViewController::firstPageView() const { return firstPageView_.data(); }

void PreviewViewController::endFirstPage(const QString& error) {
    if (!firstPageView_) return;
    if (error.isEmpty()) {
        // The PDF is shown in its place, and the window keeps its size, and the zoom, as
        // against the fitted page, that the user gave the first page.
        const QRect place = firstPageView_->geometry();
        const double zoom = firstPageImage_ && firstPageImage_->zoom() > 0
                                ? firstPageImage_->zoom() / firstPageImage_->fittedZoom()
                                : 0;
        delete firstPageView_.data();
        pdfView_->show();
        if (zoom > 0) {
            pdfView_->setGeometry(place);  // the fitted scale comes from the viewport's size
            quicklook::zoomBy(*pdfView_, zoom);
        }
        return;
    }
    // What was reached stays, with the reason the rest is missing.
    if (auto* label = firstPageView_->findChild<QLabel*>(QStringLiteral("pageLabel"))) {
        label->setText(error);
        PageNavigator::placeLabel(label, firstPageView_);
    }
}

bool PreviewViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == firstPageView_ && event->type() == QEvent::Resize) {
        if (auto* label = firstPageView_->findChild<QLabel*>(QStringLiteral("pageLabel")))
            PageNavigator::placeLabel(label, firstPageView_);
    }
    return QObject::eventFilter(watched, event);
}

bool PreviewViewController::showImage(const std::filesystem::path& outputFile) {
    QImageReader reader(QFile::decodeName(outputFile.c_str()));
    QImage image = reader.read();
    if (image.isNull()) {
        debug("NO NSImage created from output file");
        return false;
    }
    preferredContentSize_ = imageSizeInPoints(image.size(), pngDotsPerInch(outputFile));
    imageView_->setImage(std::move(image));
    imageView_->setNaturalSize(preferredContentSize_);
    return true;
}

bool PreviewViewController::showDocument(const std::filesystem::path& outputFile, bool paged) {
    auto* document = new QPdfDocument(this);
    const auto status = document->load(QFile::decodeName(outputFile.c_str()));
    if (status != QPdfDocument::Error::None || document->pageCount() < 1 ||
        document->pagePointSize(0).isEmpty()) {
        delete document;
        debug("NO PDFDocument created from output file");
        return false;
    }
    delete document_;
    document_ = document;
    if (paged) {
        // A PostScript document: one page at a time, fitted, moved through with the keys.
        pdfView_->setDocument(document_);
        pageNavigator_ = new PageNavigator(pdfView_);
        if (const auto mark = IncompleteDocument::read(outputFile)) {
            incomplete_ = true;
            const QString reason = mark->cut()
                                       ? tr("the compressed file ends before it.")
                                       : tr("PostScript error %1.").arg(QString::fromStdString(mark->error));
            const QString note = tr("Page %1 could not be drawn: %2").arg(mark->failedPage).arg(reason);
            debug(note.toStdString());
            pageNavigator_->setLastPageNote(note);
        }
        preferredContentSize_ = pdfRowSize(*pdfView_, 0);
        return true;
    }
    if (document_->pageCount() > 1) {
        // The pages follow each other, fitted to the width, and scroll. The vertical scroll bar
        // stays, so the fitted width never changes with it (see loadView()).
        pdfView_->setPageMode(QPdfView::PageMode::MultiPage);
        pdfView_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
        pdfView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    pdfView_->setDocument(document_);
    preferredContentSize_ = pdfRowSize(*pdfView_, 0);
    return true;
}

QSizeF PreviewViewController::pdfRowSize(const QPdfView& view, int page) {
    if (!view.document()) return {};
    const QMargins margins = PageCentring::baseMargins(view);
    QSizeF size = view.document()->pagePointSize(page) +
                  QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom());
    if (view.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        size.rwidth() += view.verticalScrollBar()->sizeHint().width();
    return size;
}

std::optional<QPointF> PreviewViewController::pngDotsPerInch(const std::filesystem::path& file) {
    constexpr double kInchesPerMeter = 0.0254;
    std::ifstream in(file, std::ios::binary);
    char signature[8];
    if (!in.read(signature, sizeof signature) ||
        std::string_view(signature, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
        return std::nullopt;
    const auto bigEndian = [](const unsigned char* bytes) {
        return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
               (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
    };
    // pHYs, when present, comes before the image data.
    unsigned char header[8];
    while (in.read(reinterpret_cast<char*>(header), sizeof header)) {
        const std::uint32_t length = bigEndian(header);
        const std::string_view type(reinterpret_cast<const char*>(header + 4), 4);
        if (type == "IDAT" || type == "IEND") break;
        if (type == "pHYs" && length == 9) {
            unsigned char data[9];
            if (!in.read(reinterpret_cast<char*>(data), sizeof data)) break;
            const std::uint32_t x = bigEndian(data);
            const std::uint32_t y = bigEndian(data + 4);
            if (data[8] != 1 || x == 0 || y == 0) break;  // unit 1 is the metre
            return QPointF(x * kInchesPerMeter, y * kInchesPerMeter);
        }
        if (!in.seekg(std::streamoff{length} + 4, std::ios::cur)) break;  // data and CRC
    }
    return std::nullopt;
}

QSizeF PreviewViewController::imageSizeInPoints(QSize pixels, std::optional<QPointF> dotsPerInch) {
    if (!dotsPerInch) return QSizeF(pixels);
    return {pixels.width() * 72.0 / dotsPerInch->x(), pixels.height() * 72.0 / dotsPerInch->y()};
}

}  // namespace vorrel
