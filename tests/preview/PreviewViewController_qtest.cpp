// PreviewViewController against the real Ghostscript, the real settings suite and cache, and
// the fake converters where a conversion must be counted or must produce garbage.
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfPageRenderer>
#include <QPdfView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "cache/CacheManager.h"
#include "preview/ImageView.h"
#include "preview/Logging.h"
#include "preview/PngImage.h"
#include "preview/PreviewView.h"
#include "preview/PreviewViewController.h"
#include "preview/VisualEffectView.h"
#include "settings/Suite.h"
#include "platform/SystemVersion.h"
#include "settings/Prefs.h"
#include "conversion/GhostScript.h"
#include "cache/PreviewFiles.h"
#include "settings/SharedSettings.h"
#include "support/CapturingDestination.h"
#include "support/Eps.h"
#include "support/PostScript.h"
#include "support/TempHome.h"

using namespace vorrel;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int calls = 0;
    std::optional<quicklook::PreviewError> error;
};

// Runs one request to its end (the completion, then the controller's background work).
Outcome preview(PreviewViewController& controller, const fs::path& file) {
    Outcome outcome;
    controller.view();
    controller.preparePreviewOfFile(file, [&outcome](std::optional<quicklook::PreviewError> e) {
        ++outcome.calls;
        outcome.error = std::move(e);
    });
    if (!QTest::qWaitFor([&outcome] { return outcome.calls > 0; }, 30000)) return outcome;
    PreviewViewController::workers().waitForDone();
    QCoreApplication::processEvents();  // a second completion would arrive here
    return outcome;
}

fs::path converter(const char* name) { return fs::path(VORREL_TEST_SUPPORT_DIR) / "converters" / name; }

// The in-progress files in the preview files folder.
std::vector<std::string> inProgressFiles() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(previewFilesDirectory(), error))
        if (entry.path().filename().string().starts_with("inprogress-"))
            names.push_back(entry.path().filename().string());
    return names;
}

std::size_t launchesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A PDF document with an empty page tree: it opens, but has no page 0.
const char* const kPdfWithoutPages =
    "%PDF-1.4\n"
    "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
    "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"
    "trailer << /Root 1 0 R >>\n"
    "%%EOF\n";

// The view as it looks at `size`, once the PDF view's renderer has delivered the visible pages.
QImage snapshot(QWidget& view, QSize size) {
    view.resize(size);
    view.grab();  // the first paint asks the renderer for the pages it shows
    if (auto* renderer = view.findChild<QPdfPageRenderer*>()) {
        QSignalSpy rendered(renderer, &QPdfPageRenderer::pageRendered);
        while (rendered.wait(300)) {
        }
    }
    QCoreApplication::processEvents();
    return view.grab().toImage();
}

// The smallest rectangle holding every pixel of the corner squares (Eps.h): opaque, and of a
// full colour or black, unlike the page, the margins and a backdrop.
QRect cornersRect(const QImage& image) {
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && (c.hsvSaturation() > 200 || c.value() < 60))
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

}  // namespace

class PreviewViewControllerTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;
    std::optional<GhostScript::TestOverride> realGhostscript;
    std::shared_ptr<test::CapturingDestination> capture;

    void setTransparent(bool on) { Prefs::set(transparentBackground(), on); }
    std::vector<std::string> messages() const {
        Logbook::logQueue().drain();
        return capture->messages();
    }
    bool logged(const std::string& message) const {
        const auto all = messages();
        return std::find(all.begin(), all.end(), message) != all.end();
    }
    std::optional<platform::Value> purgeRecord() const {
        return platform::Suite::standard()->objectForKey(CacheManager::kLastClearedKey);
    }

private slots:
    void initTestCase() {
        home.emplace();
        capture = std::make_shared<test::CapturingDestination>("test.preview");
        Logging::shared().logger.add(capture);
    }
    void cleanupTestCase() {
        PreviewViewController::workers().waitForDone();
        Logging::shared().logger.remove(capture);
        home.reset();
    }
    // Conversions use the real Ghostscript unless a test replaces it (overrides do not nest:
    // a test drops this one before installing a fake).
    void init() {
        realGhostscript.emplace(VORREL_GHOSTSCRIPT);
        capture->clear();
        setTransparent(false);
        platform::SystemVersion::setForTesting(std::nullopt);
    }
    void cleanup() {
        PreviewViewController::workers().waitForDone();
        realGhostscript.reset();
    }

    void viewFollowsTheSetting_data() {
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<int>("systemMajor");
        QTest::addColumn<bool>("expectBackdrop");
        QTest::newRow("PDF") << false << 26 << false;
        QTest::newRow("PNG, current system") << true << 26 << false;
        QTest::newRow("PNG, older system") << true << 15 << true;
    }
    void viewFollowsTheSetting() {
        QFETCH(bool, transparent);
        QFETCH(int, systemMajor);
        QFETCH(bool, expectBackdrop);
        setTransparent(transparent);
        platform::SystemVersion::setForTesting(platform::OperatingSystemVersion{systemMajor, 0, 0});

        PreviewViewController controller;
        QVERIFY(!controller.isViewLoaded());
        QWidget* root = controller.view();
        root->resize(320, 240);
        root->layout()->activate();

        QWidget* shown = nullptr;
        if (!transparent) {
            QCOMPARE(controller.outputFormat(), OutputFormat::PDF);
            QVERIFY(controller.pdfView() && !controller.imageView());
            QPdfView* view = controller.pdfView();
            QCOMPARE(view->pageMode(), QPdfView::PageMode::SinglePage);
            QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::FitInView);
            QCOMPARE(view->palette().color(QPalette::Dark).alpha(), 0);
            QVERIFY(!view->viewport()->autoFillBackground());
            shown = view;
        } else {
            QCOMPARE(controller.outputFormat(), OutputFormat::PNG);
            QVERIFY(controller.imageView() && !controller.pdfView());
            QCOMPARE(controller.backdropView() != nullptr, expectBackdrop);
            if (expectBackdrop) {
                QCOMPARE(controller.backdropView()->material(), VisualEffectView::Material::popover);
                QCOMPARE(static_cast<int>(controller.backdropView()->material()), 6);
                QCOMPARE(controller.imageView()->parentWidget(), controller.backdropView());
                controller.backdropView()->layout()->activate();
                QCOMPARE(controller.backdropView()->geometry(), root->rect());
                QCOMPARE(controller.imageView()->geometry(), controller.backdropView()->rect());
            } else {
                QCOMPARE(controller.imageView()->parentWidget(), root);
            }
            shown = expectBackdrop ? static_cast<QWidget*>(controller.backdropView())
                                   : controller.imageView();
        }
        // Pinned to all four edges of the root view.
        QCOMPARE(shown->geometry(), root->rect());
    }

    void settingChangeAffectsOnlyLaterControllers() {
        PreviewViewController earlier;
        earlier.view();
        setTransparent(true);
        PreviewViewController later;
        later.view();
        QCOMPARE(earlier.outputFormat(), OutputFormat::PDF);
        QCOMPARE(later.outputFormat(), OutputFormat::PNG);

        const fs::path source = home->write("change.eps", test::eps::lineArt());
        const Outcome outcome = preview(earlier, source);
        QVERIFY(!outcome.error);
        QCOMPARE(earlier.previewFileURL().extension(), fs::path(".pdf"));
        QVERIFY(earlier.pdfView()->document());
    }

    void previewsConvertAndReportContentSize_data() {
        QTest::addColumn<bool>("transparent");
        QTest::newRow("PDF") << false;
        QTest::newRow("PNG") << true;
    }
    void previewsConvertAndReportContentSize() {
        QFETCH(bool, transparent);
        setTransparent(transparent);
        // 240 × 160 points away from the origin; a name with a space and non-ASCII letters.
        const std::string name = "Zeichnung \xc3\xbc" "ber.eps";
        const fs::path source =
            home->write(name, "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 100 100 340 260\n" +
                                  test::eps::cornerSquares(100, 100, 340, 260) + "showpage\n");

        PreviewViewController controller;
        const Outcome outcome = preview(controller, source);
        QCOMPARE(outcome.calls, 1);
        QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
        QVERIFY(fs::exists(controller.previewFileURL()));

        const std::string word = transparent ? "PNG" : "PDF";
        QVERIFY(logged("Converting EPS file " + name + " to " + word));
        QVERIFY(logged("Preview file at " + controller.previewFileURL().filename().string()));
        for (const auto& record : capture->records()) {
            if (record.level == Logbook::Level::debug)
                QCOMPARE(record.functionName, std::string("preparePreviewOfFile(at:)"));
        }

        // One point of the drawing to one pixel in both formats: shown at the preferred size,
        // the corner squares span the box, with no more room around them than the view draws.
        if (!transparent) QCOMPARE(controller.pdfView()->pageMode(), QPdfView::PageMode::SinglePage);
        const QSize size = controller.preferredContentSize().toSize();
        const QImage shown = snapshot(*controller.view(), size);
        const QRect drawing = cornersRect(shown);
        QVERIFY2(std::abs(drawing.width() - 240) <= 2 && std::abs(drawing.height() - 160) <= 2,
                 qPrintable(QString("%1 x %2").arg(drawing.width()).arg(drawing.height())));
        const int left = drawing.left(), right = size.width() - 1 - drawing.right();
        const int top = drawing.top(), bottom = size.height() - 1 - drawing.bottom();
        QVERIFY2(std::abs(left - right) <= 1 && std::abs(top - bottom) <= 1,
                 qPrintable(QString("room left %1, right %2, top %3, bottom %4")
                                .arg(left).arg(right).arg(top).arg(bottom)));
        if (transparent) QVERIFY(left <= 1 && top <= 1);
    }

    void everyPageOfADocumentCanBeReached() {
        // Page 1 marks its corners; page 2 is grey all over.
        const std::string document = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 240 160\n" +
                                     test::eps::cornerSquares(0, 0, 240, 160) + "showpage\n" +
                                     "0.5 setgray 0 0 240 160 rectfill showpage\n";
        PreviewViewController controller;
        const Outcome outcome = preview(controller, home->write("two pages.eps", document));
        QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
        QPdfView* view = controller.pdfView();
        QCOMPARE(view->document()->pageCount(), 2);
        QCOMPARE(view->pageMode(), QPdfView::PageMode::MultiPage);

        // Page 1 opens as large as a single page would, the scroll bar beside it.
        const QSize size = controller.preferredContentSize().toSize();
        const QImage start = snapshot(*controller.view(), size);
        const QRect pages(view->viewport()->mapTo(controller.view(), QPoint()),
                          view->viewport()->size());
        QVERIFY(pages.width() < size.width());
        const QRect first = cornersRect(start.copy(pages));
        QVERIFY2(std::abs(first.width() - 240) <= 2 && std::abs(first.height() - 160) <= 2,
                 qPrintable(QString("%1 x %2").arg(first.width()).arg(first.height())));

        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        const QImage end = snapshot(*controller.view(), size);
        const QColor middle = end.pixelColor(end.width() / 2, end.height() / 2);
        QVERIFY2(middle.hsvSaturation() < 20 && std::abs(middle.value() - 128) < 20,
                 qPrintable(middle.name()));
    }

    // A document that fails on page 3 shows pages 1 and 2, the last with the reason over it;
    // the same when its PDF comes from the cache.
    void partialDocumentShowsItsPagesAndWhyTheRestIsMissing() {
        std::string failing = test::ps::threePages();
        failing.insert(failing.find("%%Page: 3 3"), "nosuchoperator\n");
        const fs::path source = home->write("fails on page 3.ps", failing);
        for (int round = 0; round < 2; ++round) {
            PreviewViewController controller;
            const Outcome outcome = preview(controller, source);
            QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
            QCOMPARE(controller.previewPageCount(), 2);
            QVERIFY(!controller.previewComplete());
            auto* label = controller.pdfView()->findChild<QLabel*>("pageLabel");
            QVERIFY(label);
            QCOMPARE(label->text(), QString("Page 1 of 2"));
            controller.pageNavigator()->goTo(1);
            QCOMPARE(label->text(), QString("Page 3 could not be drawn: PostScript error undefined."));
        }
    }

    // A document that never ends: its first page is shown, then the time limit's error over it;
    // neither the page nor anything of the runs is left in the cache or the scratch folder.
    void firstPageStaysWithTheErrorAndNothingIsLeft() {
        realGhostscript.reset();
        const GhostScript::TestOverride shortLimit(VORREL_GHOSTSCRIPT, std::chrono::seconds(4),
                                                   std::chrono::milliseconds(200));
        const fs::path source = home->write("endless.ps", test::ps::firstPageThenLoop());
        PreviewViewController controller;
        int firstLooks = 0;
        controller.setInterimHandler([&] {
            ++firstLooks;
            QVERIFY(controller.firstPageView());
        });
        const Outcome outcome = preview(controller, source);
        QVERIFY(logged("Converting PostScript document endless.ps to PDF"));
        QCOMPARE(firstLooks, 1);
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error->localizedDescription,
                 std::string("Ghostscript did not finish within 60 seconds."));
        QVERIFY(controller.firstPageView());
        auto* label = controller.firstPageView()->findChild<QLabel*>("pageLabel");
        QVERIFY(label);
        QCOMPARE(label->text().toStdString(), outcome.error->localizedDescription);
        // 300 x 500 points at one pixel a point, in the PDF view's margins.
        const QMargins margins = controller.pdfView()->documentMargins();
        QCOMPARE(controller.preferredContentSize(),
                 QSizeF(300 + margins.left() + margins.right(), 500 + margins.top() + margins.bottom()));

        const fs::path scratch = scratchDirectory(previewFilesDirectory());
        QVERIFY(!fs::exists(scratch) || fs::is_empty(scratch));
        for (const auto& entry : fs::directory_iterator(previewFilesDirectory()))
            QVERIFY2(!entry.path().filename().string().starts_with(sourceKey(source)),
                     entry.path().c_str());
    }

    // Page keys pressed while a document's first page stands in for its PDF move the PDF when
    // it arrives, in the order pressed and never past either end.
    void pageKeysDuringTheFirstPageMoveThePdf_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("page");
        QTest::newRow("Page Down") << QList<int>{Qt::Key_PageDown} << 1;
        QTest::newRow("past the end and back")
            << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp} << 1;
        QTest::newRow("End") << QList<int>{Qt::Key_End} << 2;
    }
    void pageKeysDuringTheFirstPageMoveThePdf() {
        QFETCH(QList<int>, keys);
        QFETCH(int, page);
        // Its own bytes, so no PDF of an earlier row is in the cache.
        const std::string tag = QTest::currentDataTag();
        const fs::path source =
            home->write("keys " + tag + ".ps", test::ps::firstPageThenWork() + "% " + tag + "\n");
        QWidget window;
        PreviewViewController controller;
        pinningLayout(&window)->addWidget(controller.view());
        window.resize(400, 600);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        bool firstLook = false;
        controller.setInterimHandler([&firstLook] { firstLook = true; });
        Outcome outcome;
        controller.preparePreviewOfFile(source, [&outcome](std::optional<quicklook::PreviewError> e) {
            ++outcome.calls;
            outcome.error = std::move(e);
        });
        QTRY_VERIFY_WITH_TIMEOUT(
            firstLook && controller.firstPageView() && controller.firstPageView()->isVisible(), 30000);
        for (const int key : keys) QTest::keyClick(&window, Qt::Key(key));
        // The keys reached the first page, not the PDF.
        QCOMPARE(outcome.calls, 0);
        QVERIFY(controller.firstPageView());

        QTRY_COMPARE_WITH_TIMEOUT(outcome.calls, 1, 60000);
        QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
        QVERIFY(!controller.firstPageView());
        QVERIFY(controller.pageNavigator());
        QCOMPARE(controller.pageNavigator()->currentPage(), page);
        QCOMPARE(controller.pdfView()->pageNavigator()->currentPage(), page);
        auto* label = controller.pdfView()->findChild<QLabel*>("pageLabel");
        QVERIFY(label);
        QCOMPARE(label->text(), QString("Page %1 of 3").arg(page + 1));
    }

    void cachedContentStartsNoConverter() {
        const fs::path first = home->write("cached/original.eps", test::eps::text());
        PreviewViewController converting;
        QVERIFY(!preview(converting, first).error);

        const fs::path launches = home->root() / "launches";
        fs::create_directories(launches);
        setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
        realGhostscript.reset();
        GhostScript::TestOverride counting(converter("launch-counter"));
        counting.allowWriting(launches);

        const fs::path copy = home->write("cached/elsewhere/copy.eps", test::eps::text());
        capture->clear();
        PreviewViewController again;
        const Outcome outcome = preview(again, copy);
        QVERIFY(!outcome.error);
        QCOMPARE(again.previewFileURL(), converting.previewFileURL());
        QCOMPARE(launchesIn(launches), std::size_t(0));
        QVERIFY(logged("Converting EPS file copy.eps to PDF"));

        // The counter does count: new content launches it, and once more because what the
        // fake writes is no PDF (a cached file that cannot be loaded is converted again).
        const fs::path fresh = home->write("cached/fresh.eps", test::eps::text() + "% edited\n");
        PreviewViewController other;
        preview(other, fresh);
        QCOMPARE(launchesIn(launches), std::size_t(2));
        unsetenv("VORREL_FAKE_RECORD");
    }

    void unreadableOutputFails_data() {
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QString>("message");
        QTest::newRow("PDF") << false << "NO PDFDocument created from output file";
        QTest::newRow("PNG") << true << "NO NSImage created from output file";
    }
    void unreadableOutputFails() {
        QFETCH(bool, transparent);
        QFETCH(QString, message);
        setTransparent(transparent);
        // The fake converter writes a line of text where a PDF or PNG should be.
        const fs::path launches = home->root() / "garbage-launches";
        fs::create_directories(launches);
        setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
        realGhostscript.reset();
        GhostScript::TestOverride garbage(converter("launch-counter"));
        garbage.allowWriting(launches);
        const fs::path source =
            home->write(transparent ? "garbage-png.eps" : "garbage-pdf.eps", test::eps::lineArt() + (transparent ? "%png\n" : "%pdf\n"));

        PreviewViewController controller;
        const Outcome outcome = preview(controller, source);
        unsetenv("VORREL_FAKE_RECORD");
        QCOMPARE(outcome.calls, 1);
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error->localizedDescription, std::string("The converted file could not be read."));
        QVERIFY(logged(message.toStdString()));
        QVERIFY(controller.previewFileURL().empty());
    }

    // A damaged cached file (here: a PDF without pages) is removed and converted once more,
    // silently, instead of being served for ever.
    void damagedCachedPdfIsConvertedAgain() {
        const fs::path source = home->write("no-pages.eps", test::eps::lineArt() + "%no pages\n");
        const fs::path cached = cachedFileURL(source, OutputFormat::PDF, PreviewViewController::kResolution);
        home->write(fs::relative(cached, home->root()), kPdfWithoutPages);

        PreviewViewController controller;
        const Outcome outcome = preview(controller, source);
        QVERIFY(!outcome.error);
        QVERIFY(logged("NO PDFDocument created from output file"));
        QCOMPARE(controller.previewFileURL(), cached);
        QVERIFY(test::readFile(cached) != std::string(kPdfWithoutPages));
    }

    void purgeFollowsEverySuccessAndNoFailure() {
        const fs::path source = home->write("purge.eps", test::eps::lineArt() + "%purge\n");
        for (int round = 0; round < 2; ++round) {  // the second round is a cache hit
            platform::Suite::standard()->removeObject(CacheManager::kLastClearedKey);
            PreviewViewController controller;
            const Outcome outcome = preview(controller, source);
            QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
            QVERIFY2(purgeRecord().has_value(), round == 0 ? "after a conversion" : "after a cache hit");
        }

        platform::Suite::standard()->removeObject(CacheManager::kLastClearedKey);
        realGhostscript.reset();
        GhostScript::TestOverride failing(converter("exit-1"));
        const fs::path broken = home->write("purge-fails.eps", test::eps::lineArt() + "%other\n");
        PreviewViewController controller;
        QVERIFY(preview(controller, broken).error);
        QVERIFY(!purgeRecord().has_value());
    }

    // A drawing that draws nothing fails with a sentence, also when served from the cache; a
    // hairline on a poster is drawn.
    void blankDrawingFailsWithASentence_data() {
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("blank");
        const QByteArray marks = "%%BoundingBox: 0 0 40 30\n[ /Title (x) /DOCINFO pdfmark\nshowpage\n";
        const QByteArray hairline =
            "%%BoundingBox: 0 0 2000 1500\n0 setlinewidth 10 10 moveto 1990 1490 lineto stroke\nshowpage\n";
        QTest::newRow("PDF, pdfmark only") << false << marks << true;
        QTest::newRow("PNG, pdfmark only") << true << marks << true;
        QTest::newRow("PDF, hairline on a poster") << false << hairline << false;
        QTest::newRow("PNG, hairline on a poster") << true << hairline << false;
    }
    void blankDrawingFailsWithASentence() {
        QFETCH(bool, transparent);
        QFETCH(QByteArray, body);
        QFETCH(bool, blank);
        setTransparent(transparent);
        const std::string name = std::string(QTest::currentDataTag()).substr(0, 3) + (blank ? "-blank.eps" : "-line.eps");
        const fs::path source = home->write(name, "%!PS-Adobe-3.0 EPSF-3.0\n" + body.toStdString());
        for (int round = 0; round < 2; ++round) {  // the second round is a cache hit
            PreviewViewController controller;
            const Outcome outcome = preview(controller, source);
            QCOMPARE(outcome.calls, 1);
            if (!blank) {
                QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
                continue;
            }
            QVERIFY(outcome.error);
            QCOMPARE(outcome.error->localizedDescription, name + " draws nothing.");
            QVERIFY(controller.previewFileURL().empty());
        }
    }

    // A box that misses the ink is replaced by what the file paints; white ink is shown on a
    // backdrop at its box's size; both also when served from the cache.
    void wrongBoxesAndWhiteInkAreShown_data() {
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QSizeF>("points");
        const QByteArray offBox = "%%BoundingBox: (atend)\n0 0 1 setrgbcolor 6 0 77 15 rectfill\n"
                                  "showpage\n%%Trailer\n%%BoundingBox: 0 766 148 791\n";
        const QByteArray white = "%%BoundingBox: 0 0 120 60\n1 setgray 10 10 100 40 rectfill\nshowpage\n";
        QTest::newRow("PDF, box off the ink") << false << offBox << QSizeF(77, 15);
        QTest::newRow("PNG, box off the ink") << true << offBox << QSizeF(77, 15);
        QTest::newRow("PDF, white ink") << false << white << QSizeF(120, 60);
        QTest::newRow("PNG, white ink") << true << white << QSizeF(120, 60);
    }
    void wrongBoxesAndWhiteInkAreShown() {
        QFETCH(bool, transparent);
        QFETCH(QByteArray, body);
        QFETCH(QSizeF, points);
        setTransparent(transparent);
        const fs::path source = home->write(QTest::currentDataTag() + std::string(".eps"),
                                            "%!PS-Adobe-3.0 EPSF-3.0\n" + body.toStdString());
        for (int round = 0; round < 2; ++round) {  // the second round is a cache hit
            PreviewViewController controller;
            const Outcome outcome = preview(controller, source);
            QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
            const QSizeF shown = transparent ? controller.preferredContentSize()
                                             : controller.document()->pagePointSize(0);
            QVERIFY2(std::abs(shown.width() - points.width()) <= 1 &&
                         std::abs(shown.height() - points.height()) <= 1,
                     qPrintable(QString("%1 x %2").arg(shown.width()).arg(shown.height())));
        }
    }

    void largeImageLoads() {
        // 6000 × 6000 pixels with alpha is 144 MB decoded: above Qt's default limit of 128 MB.
        setTransparent(true);
        const fs::path source = home->write("poster.eps", test::eps::lineArt() + "%poster\n");
        const fs::path cached = cachedFileURL(source, OutputFormat::PNG, PreviewViewController::kResolution);
        QImage poster(6000, 6000, QImage::Format_ARGB32);
        poster.fill(QColor(20, 90, 160, 128));
        poster.setDotsPerMeterX(7874);  // 200 dpi
        poster.setDotsPerMeterY(7874);
        QVERIFY(poster.save(QString::fromStdString(cached.string()), "PNG"));

        PreviewViewController controller;
        const Outcome outcome = preview(controller, source);
        QVERIFY2(!outcome.error, outcome.error ? outcome.error->localizedDescription.c_str() : "");
        QCOMPARE(controller.imageView()->image().size(), QSize(6000, 6000));
        QVERIFY(std::abs(controller.preferredContentSize().width() - 2160) < 0.5);
    }

    void imageSizeComesFromThePngResolution() {
        QImage image(30, 20, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        image.setDotsPerMeterX(5669);  // 144 dpi: half a point per pixel
        image.setDotsPerMeterY(5669);
        const fs::path withResolution = home->root() / "144dpi.png";
        QVERIFY(image.save(QString::fromStdString(withResolution.string()), "PNG"));
        const auto dpi = pngDotsPerInch(withResolution);
        QVERIFY(dpi);
        const QSizeF half = imageSizeInPoints(image.size(), dpi);
        QVERIFY(std::abs(half.width() - 15) < 0.01 && std::abs(half.height() - 10) < 0.01);

        // The same PNG without its pHYs chunk (length, type, 9 bytes of data, CRC).
        std::string bytes = test::readFile(withResolution);
        const auto at = bytes.find("pHYs");
        QVERIFY(at != std::string::npos);
        bytes.erase(at - 4, 4 + 4 + 9 + 4);
        const fs::path without = home->write("no-resolution.png", bytes);
        QVERIFY(!QImage(QString::fromStdString(without.string())).isNull());
        QVERIFY(!pngDotsPerInch(without));
        QCOMPARE(imageSizeInPoints(
                     QSize(30, 20), pngDotsPerInch(without)),
                 QSizeF(30, 20));
        QVERIFY(!pngDotsPerInch(home->write("fake.png", "not a png")));
    }

    void releasedControllerDropsItsResult() {
        const fs::path launches = home->root() / "slow";
        setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
        setenv("VORREL_FAKE_DELAY", "0.3", 1);
        realGhostscript.reset();
        GhostScript::TestOverride slow(converter("slow-recorder"));
        const fs::path source = home->write("released.eps", test::eps::lineArt() + "%released\n");
        int calls = 0;
        {
            PreviewViewController controller;
            controller.view();
            controller.preparePreviewOfFile(source, [&calls](auto) { ++calls; });
        }
        PreviewViewController::workers().waitForDone();
        QCoreApplication::processEvents();
        unsetenv("VORREL_FAKE_DELAY");
        unsetenv("VORREL_FAKE_RECORD");
        QCOMPARE(calls, 0);
        // Nobody would show it: the conversion was stopped, not finished.
        QVERIFY(!fs::exists(
            cachedFileURL(source, OutputFormat::PDF, PreviewViewController::kResolution)));
        QCOMPARE(inProgressFiles(), std::vector<std::string>{});
    }

    // Last: a shut-down extension stays shut down for the rest of the process.
    void shutDownStopsRunningWorkAndRefusesMore() {
        setTransparent(false);
        const fs::path endless = home->write("endless.eps", test::eps::loopingForever());
        PreviewViewController running;
        Outcome outcome;
        running.view();
        running.preparePreviewOfFile(endless, [&outcome](std::optional<quicklook::PreviewError> e) {
            ++outcome.calls;
            outcome.error = std::move(e);
        });
        QTest::qWait(500);  // the converter is under way
        QVERIFY(PreviewViewController::shutDown(PreviewViewController::kShutDownBound));
        QTRY_COMPARE(outcome.calls, 1);
        QVERIFY(outcome.error);
        QVERIFY(outcome.error->localizedDescription.find("was stopped") != std::string::npos);
        QCOMPARE(inProgressFiles(), std::vector<std::string>{});

        platform::Suite::standard()->removeObject(CacheManager::kLastClearedKey);
        PreviewViewController later;
        const fs::path laterFile = home->write("later.eps", test::eps::lineArt() + "%later\n");
        const Outcome refused = preview(later, laterFile);
        QCOMPARE(refused.calls, 1);
        QVERIFY(refused.error);
        QVERIFY(!purgeRecord().has_value());
    }

    // A one-pixel line of a 200 dpi image, shrunk to fit at 72 dpi, stays one unbroken
    // line: every column it crosses has ink near where it should be.
    void thinLineStaysWholeAtFit() {
        QImage image(1000, 1000, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(0, 0, 999, 700);
        }
        ImageView view;
        view.resize(360, 360);
        view.setImage(image);
        const QImage shot = view.grab().toImage();
        const QRect drawn = view.imageRect(view.rect());
        QCOMPARE(drawn.size(), QSize(360, 360));
        const double scale = drawn.width() / 1000.0;
        int gaps = 0;
        for (int x = drawn.left() + 2; x < drawn.right() - 2; ++x) {
            const int y = drawn.top() + qRound((x - drawn.left() + 0.5) * 0.7);
            int darkest = 255;
            for (int dy = -2; dy <= 2; ++dy) darkest = std::min(darkest, qGray(shot.pixel(x, y + dy)));
            if (darkest > 240) ++gaps;  // area averaging draws it grey, but draws it
        }
        QVERIFY2(gaps == 0, qPrintable(QString("%1 columns without the line at scale %2").arg(gaps).arg(scale)));
    }
};

QTEST_MAIN(PreviewViewControllerTest)
#include "PreviewViewController_qtest.moc"
