// The UTI finder: records from real files through the MIME database, the list view's
// copying, choosing and dropping, and the one window with its remembered geometry.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unordered_set>

#include "support/TempHome.h"
#include "widgets/UTIFile.h"
#include "widgets/UTIFinder.h"
#include "widgets/UTIFinderView.h"

using namespace vorrel;
using vorrel::zodadavovov::FileImport;
using vorrel::zodadavovov::UTIFile;
using vorrel::zodadavovov::UTIFinder;
using vorrel::zodadavovov::UTIFinderView;

namespace {

constexpr char eps[] = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nshowpage\n";
const QString separator = QStringLiteral("\n-----------------------\n");

QUrl fileUrl(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

void drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    QVERIFY(dropped.isAccepted());
}

// Captures what is written to standard output (file descriptor 1) while it lives.
class StdoutCapture {
public:
    StdoutCapture() {
        std::cout.flush();
        std::fflush(stdout);
        std::FILE* file = std::tmpfile();
        tmp_ = file;
        saved_ = dup(1);
        dup2(fileno(file), 1);
    }
    QString finish() {
        std::cout.flush();
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        std::rewind(tmp_);
        QByteArray bytes;
        char buffer[256];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, tmp_)) bytes.append(buffer, qsizetype(n));
        std::fclose(tmp_);
        return QString::fromUtf8(bytes);
    }

private:
    std::FILE* tmp_ = nullptr;
    int saved_ = -1;
};

}  // namespace

class UTIFinderTest : public QObject {
    Q_OBJECT
    QString program_;

public:
    explicit UTIFinderTest(QString program) : program_(std::move(program)) {}

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void recordsFromFiles_data() {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("report");
        QTest::newRow("type with extensions")
            << "picture.eps" << "image/x-eps"
            << "Name: picture.eps\nKind: EPS image\nMIME Type: image/x-eps\nExtensions: eps, epsi, and epsf";
        QTest::newRow("type without extensions (folder)")
            << "a folder" << "inode/directory" << "Name: a folder\nKind: folder\nMIME Type: inode/directory";
        QTest::newRow("name with a line feed and non-ASCII")
            << "Über\nplan.txt" << "text/plain"
            << "Name: Über\nplan.txt\nKind: plain text document\nMIME Type: text/plain\nExtensions: txt and asc";
    }
    void recordsFromFiles() {
        QFETCH(QString, relative);
        QFETCH(QString, identifier);
        QFETCH(QString, report);
        test::TempHome home;
        const auto path = home.root() / relative.toStdString();
        if (relative.endsWith(".eps") || relative.endsWith(".txt"))
            home.write(relative.toStdString(), relative.endsWith(".eps") ? eps : "hello\n");
        else
            std::filesystem::create_directory(path);
        const auto file = UTIFile::fromUrl(fileUrl(path));
        QVERIFY(file.has_value());
        QCOMPARE(file->identifier, identifier);
        QCOMPARE(file->reportText(), report);
        QVERIFY(!file->reportText().endsWith('\n'));
    }

    void unreadableFilesGiveNoRecord() {
        test::TempHome home;
        const auto vanished = home.write("gone.eps", eps);
        const QUrl vanishedUrl = fileUrl(vanished);
        std::filesystem::remove(vanished);
        const auto dangling = home.root() / "dangling.eps";
        std::filesystem::create_symlink(home.root() / "nowhere.eps", dangling);
        QVERIFY(!UTIFile::fromUrl(vanishedUrl));
        QVERIFY(!UTIFile::fromUrl(fileUrl(dangling)));
        QVERIFY(!UTIFile::fromUrl(QUrl("https://quarnix.app/picture.eps")));
    }

    void equalityAndHashUseAllFields() {
        const UTIFile base{"a.eps", "EPS image", "image/x-eps", {"eps", "epsi"}};
        QList<UTIFile> variants(4, base);
        variants[0].name = "b.eps";
        variants[1].description = "Document";
        variants[2].identifier = "application/postscript";
        variants[3].extensions = {"epsi", "eps"};
        std::unordered_set<UTIFile> set{base};
        for (const UTIFile& other : variants) {
            QVERIFY(!(other == base));
            set.insert(other);
        }
        set.insert(UTIFile(base));
        QCOMPARE(set.size(), std::size_t(5));
        QCOMPARE(std::hash<UTIFile>{}(base), std::hash<UTIFile>{}(UTIFile(base)));
    }

    void copyResultJoinsEntriesAndCopyUtiCopiesOne() {
        test::TempHome home;
        const auto first = home.write("one.eps", eps);
        const auto second = home.write("two.txt", "text\n");
        UTIFinderView view;
        view.setFiles({fileUrl(first), fileUrl(second)});
        QCOMPARE(view.selectedFiles().size(), 2);

        view.copyResultButton()->click();
        const QString copied = QApplication::clipboard()->text();
        const QString one = view.selectedFiles()[0].reportText();
        const QString two = view.selectedFiles()[1].reportText();
        QCOMPARE(copied, one + separator + two);
        QCOMPARE(separator.size(), 25);
        QVERIFY(copied.startsWith("Name: one.eps\n"));
        QVERIFY(copied.endsWith("Extensions: txt and asc"));

        QAction* copyUti = view.copyIdentifierAction(1);
        QVERIFY(copyUti);
        QCOMPARE(copyUti->text(), QString("Copy MIME Type"));
        copyUti->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("text/plain"));
        QVERIFY(!view.copyIdentifierAction(2));
    }

    void copyResultIsUnavailableWhileTheListIsEmpty() {
        test::TempHome home;
        const auto file = home.write("one.eps", eps);
        UTIFinderView view;
        view.show();
        QApplication::setActiveWindow(&view);
        QVERIFY(QTest::qWaitForWindowActive(&view));
        view.selectFilesButton()->setFocus();
        QVERIFY(view.selectFilesButton()->isDefault());

        QApplication::clipboard()->setText("untouched");
        QVERIFY(!view.copyResultButton()->isEnabled());
        view.copyResultButton()->click();
        QTest::keyClick(view.selectFilesButton(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("untouched"));

        // The same key press copies once there is something to copy.
        view.setFiles({fileUrl(file)});
        QVERIFY(view.copyResultButton()->isEnabled());
        QTest::keyClick(view.selectFilesButton(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), view.selectedFiles()[0].reportText());

        // Back to empty: disabled again.
        view.setFiles({});
        QVERIFY(!view.copyResultButton()->isEnabled());
        QVERIFY(!view.copyResultAction()->isEnabled());
    }

    void dropReplacesTheListAndSkipsUnreadableFiles() {
        test::TempHome home;
        const auto a = home.write("a.eps", eps);
        const auto b = home.write("b.txt", "b\n");
        const auto c = home.write("c.eps", eps);
        UTIFinderView view;
        drop(&view, {fileUrl(a), fileUrl(b)});
        QCOMPARE(view.selectedFiles().size(), 2);

        const QUrl vanished = fileUrl(home.root() / "vanished.eps");
        drop(&view, {fileUrl(c), vanished});
        QCOMPARE(view.selectedFiles().size(), 1);
        QCOMPARE(view.selectedFiles()[0].name, QString("c.eps"));
        QVERIFY(!view.isTargeted());

        // A drop that yields nothing still empties the list.
        drop(&view, {vanished});
        QVERIFY(view.selectedFiles().isEmpty());
        QVERIFY(!view.copyResultButton()->isEnabled());
    }

    void fileImporterOutcomes() {
        test::TempHome home;
        const auto a = home.write("a.eps", eps);
        const auto b = home.write("b.txt", "b\n");
        UTIFinderView view;
        FileImport next;
        view.setFileImporter([&next](QWidget*) { return next; });

        next = {FileImport::Outcome::Chosen, {fileUrl(b), fileUrl(home.root() / "x.eps"), fileUrl(a)}, {}};
        view.selectFilesButton()->click();
        QCOMPARE(view.selectedFiles().size(), 2);
        QCOMPARE(view.selectedFiles()[0].name, QString("b.txt"));
        QCOMPARE(view.selectedFiles()[1].name, QString("a.eps"));

        next = {FileImport::Outcome::Cancelled, {}, {}};
        view.selectFiles();
        QCOMPARE(view.selectedFiles().size(), 2);

        next = {FileImport::Outcome::Failed, {}, "The folder could not be read."};
        StdoutCapture capture;
        view.selectFiles();
        QCOMPARE(capture.finish(), QString("File import failed: The folder could not be read.\n"));
        QCOMPARE(view.selectedFiles().size(), 2);
    }

    void namesAreShownAsPlainText() {
        test::TempHome home;
        const auto file = home.write("<b>bold &amp; wide.txt", "x\n");
        UTIFinderView view;
        view.setFiles({fileUrl(file)});
        bool found = false;
        for (QLabel* label : view.findChildren<QLabel*>())
            if (label->text() == "<b>bold &amp; wide.txt") found = label->textFormat() == Qt::PlainText;
        QVERIFY(found);
    }

    void finderIsMadeOnceWithItsWindowSettings() {
        test::TempHome home;
        UTIFinder& finder = UTIFinder::shared();
        QCOMPARE(&UTIFinder::shared(), &finder);
        finder.showWindow();
        QWidget* window = finder.window();
        QCOMPARE(window->windowTitle(), QString("MIME Type Finder"));
        QVERIFY(!(window->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(finder.view()->minimumSize(), QSize(360, 240));
        QCOMPARE(finder.view()->maximumSize(), QSize(600, 480));
        QCOMPARE(window->size(), QSize(400, 320));
        window->close();
        finder.showWindow();
        QCOMPARE(UTIFinder::shared().window(), window);
        window->close();
        // Escape and Ctrl+W close it, as they close dialogs.
        for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W}) {
            finder.showWindow();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QTest::keyClick(finder.view(), keys.key(), keys.keyboardModifiers());
            QVERIFY2(!window->isVisible(), qPrintable(QKeySequence(keys).toString()));
        }
    }

    void geometryIsRememberedAcrossRuns() {
        test::TempHome home;
        auto run = [this](const QStringList& arguments) {
            QProcess child;
            child.start(program_, QStringList{"--finder-run"} + arguments);
            if (!child.waitForFinished(60000)) return QString("timeout");
            return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
        };
        QCOMPARE(run({}), QString("200,240 400x320"));  // first launch: centred on 800 x 800
        QCOMPARE(run({"123", "77", "450", "300"}), QString("123,77 450x300"));
        QCOMPARE(run({}), QString("123,77 450x300"));
        QVERIFY(std::filesystem::exists(home.configHome() / "vorrel" / "com.quarnix.Vorrel.Tests.json"));
    }
};

// One launch of an application that shows the finder: optionally moves and resizes it,
// closes it, and prints where it was.
static int finderRun(int argc, char** argv) {
    platform::Bundle::setMain(platform::Bundle(test::testInfoDictionary(), "/opt/vorrel/bin"));
    QApplication app(argc, argv);
    UTIFinder& finder = UTIFinder::shared();
    finder.showWindow();
    QWidget* window = finder.window();
    if (argc == 6)
        window->setGeometry(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
    QCoreApplication::processEvents();
    const QRect frame = window->geometry();
    window->close();
    std::cout << frame.x() << ',' << frame.y() << ' ' << frame.width() << 'x' << frame.height()
              << std::endl;
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--finder-run") return finderRun(argc, argv);
    QApplication app(argc, argv);
    UTIFinderTest test(QCoreApplication::applicationFilePath());
    return QTest::qExec(&test, argc, argv);
}

#include "UTIFinder_qtest.moc"
