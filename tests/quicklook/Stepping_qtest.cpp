// Stepping through files in the window (offscreen, the real plug-in and Ghostscript): the
// folder of one file given, in natural order and kept current; neighbours made ahead; fast
// steps leave nothing running or half-written behind.
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "quicklook/FolderListing.h"
#include "quicklook/PreviewSession.h"
#include "support/Eps.h"
#include "support/PostScript.h"
#include "support/Processes.h"
#include "PluginWindowTest.h"

namespace fs = std::filesystem;
using namespace vorrel;
using quicklook::FolderListing;
using quicklook::QuickLookWindow;
using test::activate;
using test::waitShown;

namespace {

const std::string kContainer = VORREL_TEAM_ID_PREFIX "group.com.quarnix.Vorrel";

// A small drawing that differs from every other one by `tag` (a different cache entry).
std::string drawing(int tag) {
    return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 60 40\n%%Title: drawing " +
           std::to_string(tag) + "\n%%EndComments\n0 0 1 setrgbcolor 5 5 50 30 rectfill\nshowpage\n";
}

// Busy for a while before it draws.
std::string slowDrawing(int tag) {
    return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 100\n%%EndComments\n% " +
           std::to_string(tag) + "\n0 1 30000000 { pop } for\n10 10 80 80 rectfill\nshowpage\n";
}

std::vector<std::string> names(const std::vector<fs::path>& files) {
    std::vector<std::string> result;
    for (const auto& file : files) result.push_back(file.filename().string());
    return result;
}

std::size_t countEntries(const fs::path& folder, std::string_view part) {
    std::size_t count = 0;
    for (const auto& name : test::entries(folder))
        if (name.find(part) != std::string::npos) ++count;
    return count;
}

// Converted files in the cache, those under way left out.
std::size_t countConverted(const fs::path& folder) {
    return countEntries(folder, ".pdf") - countEntries(folder, "inprogress-");
}

}  // namespace

class SteppingTest : public test::PluginWindowTest {
    Q_OBJECT

    fs::path converted() const { return home->cacheHome() / kContainer / "tmp"; }
    fs::path scratch() const { return home->cacheHome() / kContainer / "scratch"; }

private slots:
    void initTestCase() { loadPlugin(); }
    void cleanupTestCase() { unloadPlugin(); }

    void naturalOrder_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("numbers by value") << "fig-2.eps" << "fig-10.eps";
        QTest::newRow("case does not count") << "apple.eps" << "Banana.eps";
        QTest::newRow("case then bytes decide a tie") << "FIG.eps" << "fig.eps";
    }
    void naturalOrder() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QVERIFY(FolderListing::naturalLess(before.toStdString(), after.toStdString()));
        QVERIFY(!FolderListing::naturalLess(after.toStdString(), before.toStdString()));
    }

    void oneFileGivenStepsThroughTheServedFilesOfItsFolder() {
        const std::vector<std::string> served = {"a-drawing.epsf", "fig-2.eps", "Fig-10.eps",
                                                 "letter.ps", "zeta.EPS"};
        for (std::size_t i = 0; i < served.size(); ++i) {
            home->write("figures/" + served[i],
                        served[i].ends_with(".ps") ? test::ps::threePages() : drawing(int(i)));
        }
        home->write("figures/notes.txt", "not a drawing\n");
        home->write("figures/picture.png", "\x89PNG\r\n\x1a\n");
        home->write("figures/.hidden.eps", drawing(99));

        QuickLookWindow window(*registry, {home->root() / "figures" / "a-drawing.epsf"});
        QSignalSpy listed(&window, &QuickLookWindow::filesListed);
        QVERIFY(waitShown(window));
        QVERIFY(listed.count() > 0 || listed.wait(30000));
        QCOMPARE(names(window.files()), served);  // hidden, other and unserved files left out
        QCOMPARE(window.windowTitle(), QStringLiteral("a-drawing.epsf — 1 of 5 — Vorrel Quick Look"));
        QVERIFY(activate(window));

        QTest::keyClick(&window, Qt::Key_Left);
        QVERIFY(window.endCue()->isVisible());
        QCOMPARE(window.currentIndex(), 0);
        for (std::size_t i = 1; i < served.size(); ++i) {
            QTest::keyClick(&window, Qt::Key_Right);
            QCOMPARE(window.session()->file().filename().string(), served[i]);
            if (window.session()->state() == quicklook::PreviewSession::State::Running)
                QVERIFY(waitShown(window));
            QCOMPARE(window.windowTitle(),
                     QString("%1 — %2 of 5 — Vorrel Quick Look").arg(QString::fromStdString(served[i])).arg(i + 1));
            QVERIFY(!window.endCue()->isVisible());
        }
        QTest::keyClick(&window, Qt::Key_Right);
        QVERIFY(window.endCue()->isVisible());
        QVERIFY(!window.endCue()->text().isEmpty());
        QCOMPARE(window.session()->file().filename().string(), served.back());
    }

    void aFileAddedToTheFolderIsReached() {
        home->write("added/one.eps", drawing(1));
        QuickLookWindow window(*registry, {home->root() / "added" / "one.eps"});
        QSignalSpy listed(&window, &QuickLookWindow::filesListed);
        QVERIFY(waitShown(window));
        QVERIFY(listed.count() > 0 || listed.wait(30000));
        QCOMPARE(window.files().size(), std::size_t{1});
        QVERIFY(activate(window));

        home->write("added/two.eps", drawing(2));
        QTRY_COMPARE_WITH_TIMEOUT(window.files().size(), std::size_t{2}, 30000);
        QTest::keyClick(&window, Qt::Key_Right);
        QCOMPARE(window.session()->file().filename().string(), std::string("two.eps"));
        QCOMPARE(window.windowTitle(), QStringLiteral("two.eps — 2 of 2 — Vorrel Quick Look"));
    }

    void neighboursAreMadeAheadAndShownAtOnce() {
        std::vector<fs::path> files;
        for (int i = 0; i < 3; ++i)
            files.push_back(home->write("ahead/" + std::to_string(i) + ".eps", drawing(100 + i)));
        const std::size_t cached = countConverted(converted());
        QuickLookWindow window(*registry, files);
        QVERIFY(waitShown(window));
        QVERIFY(activate(window));
        window.showFile(1);
        QVERIFY(waitShown(window));
        // Both neighbours are converted in the background: three more PDFs in the cache.
        QTRY_COMPARE_WITH_TIMEOUT(countConverted(converted()), cached + 3, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(window.isReadyAhead(files[0]) && window.isReadyAhead(files[2]), 30000);
        QCOMPARE(window.filesAhead().size(), std::size_t{2});
        QCOMPARE(countEntries(converted(), "inprogress-"), std::size_t{0});

        // A ready neighbour is on screen when the key press returns.
        QSignalSpy shown(&window, &QuickLookWindow::contentShown);
        QTest::keyClick(&window, Qt::Key_Right);
        QVERIFY(window.session()->isBackground());
        QCOMPARE(window.session()->state(), quicklook::PreviewSession::State::Succeeded);
        QVERIFY(window.content() == window.session()->view());
        QVERIFY(window.staleDrawing()->isHidden());
        QVERIFY(shown.wait(5000));
    }

    void aStepToAFileNotReadyKeepsTheOldDrawingDimmed() {
        const fs::path quick = home->write("dim/0.eps", drawing(200));
        const fs::path slow = home->write("dim/1.eps", slowDrawing(201));
        QuickLookWindow window(*registry, {quick, slow});
        QVERIFY(waitShown(window));
        QVERIFY(activate(window));
        QTest::keyClick(&window, Qt::Key_Right);
        QCOMPARE(window.session()->state(), quicklook::PreviewSession::State::Running);
        QVERIFY(window.staleDrawing()->isVisible());
        QVERIFY(!window.staleDrawing()->pixmap().isNull());
        QVERIFY(!window.isBusyIndicatorShown());
        QVERIFY(waitShown(window));
        QVERIFY(window.staleDrawing()->isHidden());
        QVERIFY(window.content() == window.session()->view());
    }

    void fastStepsLeaveNoConverterAndNoPartialFile() {
        std::vector<fs::path> files;
        for (int i = 0; i < 6; ++i) files.push_back(home->write("fast/" + std::to_string(i) + ".eps", slowDrawing(300 + i)));
        const std::string mark = scratch().string();
        {
            QuickLookWindow window(*registry, files);
            window.show();
            QVERIFY(activate(window));
            for (int i = 0; i < 5; ++i) {
                QTest::keyClick(&window, Qt::Key_Right);
                QTest::qWait(20);
            }
            QCOMPARE(window.currentIndex(), 5);
            // What nobody is about to see is stopped: the file shown and its two neighbours at most.
            QTRY_VERIFY_WITH_TIMEOUT(test::processesMentioning(mark).size() <= 2, 30000);
            window.close();
            QTRY_VERIFY_WITH_TIMEOUT(test::processesMentioning(mark).empty(), 30000);
        }
        QVERIFY(registry->shutDown(std::chrono::seconds(10)));
        QCOMPARE(countEntries(converted(), "inprogress-"), std::size_t{0});
        QCOMPARE(test::entries(scratch()), std::vector<std::string>{});
    }
};

QTEST_MAIN(SteppingTest)
#include "Stepping_qtest.moc"
