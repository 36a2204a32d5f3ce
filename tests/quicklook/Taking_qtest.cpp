// Taking the drawing along and saying what it is (offscreen, the real plug-in and
// Ghostscript): the clipboard's formats, Save As and --save-as, the information panel.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPdfDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "preview/contract/PreviewingController.h"
#include "quicklook/ExportName.h"
#include "quicklook/InfoPanel.h"
#include "quicklook/PreviewActions.h"
#include "quicklook/PreviewSession.h"
#include "PluginWindowTest.h"

namespace fs = std::filesystem;
using namespace vorrel;
using quicklook::ExportRequest;
using quicklook::InfoPanel;
using quicklook::QuickLookWindow;
using test::waitShown;

namespace {

// 200 × 100 points, away from the origin; header comments with a control character.
const char* const kBoxed =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 20 210 120\n%%Title: (Fig\x01 one)\n"
    "%%Creator: a test\n%%CreationDate: 2026-12-09\n%%For: someone\n%%LanguageLevel: 2\n"
    "%%EndComments\n/Helvetica findfont 24 scalefont setfont 20 60 moveto (Vorrel) show\n"
    "0 0 1 setrgbcolor 12 22 20 20 rectfill\nshowpage\n";

// Waits for a completion and hands back its outcome; nothing when none came.
std::optional<std::optional<quicklook::PreviewError>> awaitOutcome(
    const std::function<void(quicklook::PreviewCompletion)>& start) {
    std::optional<std::optional<quicklook::PreviewError>> outcome;
    start([&outcome](std::optional<quicklook::PreviewError> error) { outcome = std::move(error); });
    (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 60000);
    return outcome;
}

QString text(const fs::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

class TakingTest : public test::PluginWindowTest {
    Q_OBJECT

private slots:
    void initTestCase() { loadPlugin(); }
    void cleanupTestCase() { unloadPlugin(); }

    void exportNames_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("base");
        QTest::newRow("suffix") << "fig-07.eps" << "fig-07";
        QTest::newRow("compressed") << "fig-07.eps.gz" << "fig-07";
        QTest::newRow("dots inside") << "fig.v2.ps.bz2" << "fig.v2";
        QTest::newRow("all suffix") << ".eps" << ".eps";
    }
    void exportNames() {
        QFETCH(QString, source);
        QFETCH(QString, base);
        QCOMPARE(quicklook::exportBaseName(source.toStdString()), base);
    }

    void copyOffersThePdfAndAnImage() {
        // A window killed with SIGKILL left its copies; the next export removes them.
        const fs::path exports =
            QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString() + "/vorrel";
        const pid_t gone = fork();
        if (gone == 0) _exit(0);
        waitpid(gone, nullptr, 0);
        const fs::path orphan = exports / ("exports-" + std::to_string(gone) + "-abcdef");
        fs::create_directories(orphan / "inside");
        fs::permissions(orphan / "inside", fs::perms::owner_read);

        const fs::path file = home->write("copied.eps", kBoxed);
        QuickLookWindow window(*registry, {file, file});
        QVERIFY(waitShown(window));
        QVERIFY(window.actions()->copyAction()->isEnabled());
        const auto outcome = awaitOutcome([&](auto done) { window.actions()->copy(done); });
        QVERIFY(outcome);
        QVERIFY2(!*outcome, (*outcome)->localizedDescription.c_str());
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QVERIFY(data->hasFormat("application/pdf"));
        QVERIFY(data->hasFormat("image/png"));
        QVERIFY(data->data("application/pdf").startsWith("%PDF-"));
        const QImage image = QImage::fromData(data->data("image/png"), "PNG");
        QCOMPARE(image.size(), QSize(400, 200));  // twice the 200 × 100 points
        QCOMPARE(data->urls().size(), 1);
        const QString copy = data->urls().front().toLocalFile();
        QVERIFY(copy.endsWith("/copied.pdf"));
        QVERIFY(QFileInfo::exists(copy));
        QVERIFY(!fs::exists(orphan));
        QCOMPARE(fs::path(copy.toStdString()).parent_path().parent_path(), exports);
        // The copies go with the window.
        window.close();
        QVERIFY(!QFileInfo::exists(copy));
    }

    void saveAs_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("PDF") << "out.pdf" << int(ExportRequest::Format::PDF) << 0 << false << QSize();
        QTest::newRow("PNG at 72 dpi") << "out72.png" << int(ExportRequest::Format::PNG) << 72 << false << QSize(200, 100);
        QTest::newRow("PNG at 300 dpi, transparent") << "out300.png" << int(ExportRequest::Format::PNG) << 300 << true << QSize(833, 417);
    }
    void saveAs() {
        QFETCH(QString, name);
        QFETCH(int, format);
        QFETCH(int, dpi);
        QFETCH(bool, transparent);
        QFETCH(QSize, pixels);
        const fs::path file = home->write("saved.eps", kBoxed);
        QuickLookWindow window(*registry, {file, file});
        QVERIFY(waitShown(window));
        const fs::path out = home->root() / ("out-" + std::string(QTest::currentDataTag())) / name.toStdString();
        fs::create_directories(out.parent_path());
        home->write(fs::relative(out, home->root()), "old contents");  // replaced whole
        ExportRequest request{.destination = out,
                              .format = ExportRequest::Format(format),
                              .dotsPerInch = dpi,
                              .transparent = transparent};
        const auto outcome = awaitOutcome([&](auto done) { window.actions()->save(request, done); });
        QVERIFY(outcome);
        QVERIFY2(!*outcome, (*outcome)->localizedDescription.c_str());
        if (pixels.isEmpty()) {
            QPdfDocument pdf;
            QCOMPARE(pdf.load(text(out)), QPdfDocument::Error::None);
            QCOMPARE(pdf.pagePointSize(0).toSize(), QSize(200, 100));
        } else {
            const QImage image(text(out));
            QCOMPARE(image.size(), pixels);
            QCOMPARE(image.hasAlphaChannel(), transparent);
            QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), dpi);
        }
        // Only the file asked for: no temporary file beside it.
        QCOMPARE(test::entries(out.parent_path()), std::vector<std::string>{name.toStdString()});
    }

    // Ctrl+S asks where, through dialogs whose titles name the program; a name ending in .png
    // asks for the image's resolution, then writes it.
    void saveAsThroughTheDialogs() {
        const fs::path file = home->write("asked.eps", kBoxed);
        QuickLookWindow window(*registry, {file, file});
        QVERIFY(waitShown(window));
        const fs::path out = home->root() / "asked out" / "picked.png";
        fs::create_directories(out.parent_path());
        QStringList titles;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || titles.contains(dialog->windowTitle())) return;
            titles << dialog->windowTitle();
            if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
                files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                    ->setText(QString::fromStdString(out.string()));
            }
            dialog->accept();
        });
        answer.start(20);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(out) && fs::file_size(out) > 0, 30000);
        QCOMPARE(titles, QStringList({QStringLiteral("Save As \u2014 Vorrel Quick Look"),
                                      QStringLiteral("PNG Image \u2014 Vorrel Quick Look")}));
        QCOMPARE(QImage(QString::fromStdString(out.string())).size(), QSize(833, 417));  // 300 dpi
    }

    void saveAsRefuses_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QString>("says");
        QTest::newRow("a folder") << "refused" << 144 << "is a folder";
        QTest::newRow("the source") << "refused-source.eps" << 144 << "never written over";
        QTest::newRow("no such folder") << "missing/out.png" << 144 << "Could not write";
        QTest::newRow("resolution too high") << "refused.png" << 601 << "between 72 and 600";
    }
    void saveAsRefuses() {
        QFETCH(QString, where);
        QFETCH(int, dpi);
        QFETCH(QString, says);
        fs::create_directories(home->root() / "refused");
        const fs::path file = home->write("refused-source.eps", kBoxed);
        QuickLookWindow window(*registry, {file, file});
        QVERIFY(waitShown(window));
        const auto before = test::entries(home->root());
        const ExportRequest request{.destination = home->root() / where.toStdString(),
                                    .format = ExportRequest::Format::PNG,
                                    .dotsPerInch = dpi};
        const auto outcome = awaitOutcome([&](auto done) { window.actions()->save(request, done); });
        QVERIFY(outcome && *outcome);
        QVERIFY2(QString::fromStdString((*outcome)->localizedDescription).contains(says),
                 (*outcome)->localizedDescription.c_str());
        QCOMPARE(test::entries(home->root()), before);
        QCOMPARE(test::entries(home->root() / "refused"), std::vector<std::string>{});
        QCOMPARE(test::readFile(file), std::string(kBoxed));
    }

    void headlessSaveAs() {
        const fs::path file = home->write("headless.eps", kBoxed);
        const fs::path folder = home->root() / "headless-out";
        fs::create_directories(folder);
        const auto run = [&](const QStringList& arguments) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("XDG_CONFIG_HOME", text(home->configHome()));
            environment.insert("XDG_CACHE_HOME", text(home->cacheHome()));
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(VORREL_PREFIX_DIR "/bin/vorrel-quicklook"),
                          QStringList{"--headless"} + arguments + QStringList{text(file)});
            process.waitForFinished(120000);
            return std::make_tuple(process.exitCode(), process.readAllStandardOutput(),
                                   QString::fromUtf8(process.readAllStandardError()));
        };
        // A folder: a clear error, nothing written.
        auto [status, out, err] = run({"--save-as", text(folder)});
        QCOMPARE(status, 1);
        QVERIFY2(err.contains("is a folder"), qPrintable(err));
        QCOMPARE(test::entries(folder), std::vector<std::string>{});
        fs::create_directories(folder / "named.pdf");
        std::tie(status, out, err) = run({"--save-as", text(folder / "named.pdf")});
        QCOMPARE(status, 1);
        QVERIFY2(err.contains("is a folder"), qPrintable(err));
        QCOMPARE(test::entries(folder / "named.pdf"), std::vector<std::string>{});
        fs::remove(folder / "named.pdf");
        // A PDF of the crop box, replacing what was there; the JSON line as ever.
        home->write("headless-out/fig.pdf", "old");
        std::tie(status, out, err) = run({"--save-as", text(folder / "fig.pdf")});
        QCOMPARE(status, 0);
        QVERIFY(out.startsWith("{\"file\":"));
        QPdfDocument pdf;
        QCOMPARE(pdf.load(text(folder / "fig.pdf")), QPdfDocument::Error::None);
        QCOMPARE(pdf.pagePointSize(0).toSize(), QSize(200, 100));
        std::tie(status, out, err) = run({"--save-as", text(folder / "fig.png"), "--dpi", "144"});
        QCOMPARE(status, 0);
        QCOMPARE(QImage(text(folder / "fig.png")).size(), QSize(400, 200));
        std::tie(status, out, err) = run({"--save-as", text(folder / "fig.png"), "--dpi", "20"});
        QCOMPARE(status, 2);
        QCOMPARE(test::entries(folder), (std::vector<std::string>{"fig.pdf", "fig.png"}));
    }

    void displayText_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QByteArray("Figure 1") << "Figure 1";
        QTest::newRow("controls escaped") << QByteArray("a\nb\tc\x01\x7f") << "a\\nb\\tc\\x01\\x7f";
        QTest::newRow("UTF-8 kept") << QByteArray("Gr\xc3\xbc\xc3\x9f") << QString::fromUtf8("Grüß");
        QTest::newRow("Latin-1 read as such") << QByteArray("Gr\xfc\xdf") << QString::fromUtf8("Grüß");
        QTest::newRow("long elided") << QByteArray(500, 'x')
                                     << QString(InfoPanel::kMaximumCharacters, 'x') + QChar(0x2026);
    }
    void displayText() {
        QFETCH(QByteArray, raw);
        QFETCH(QString, shown);
        QCOMPARE(InfoPanel::displayText(std::string_view(raw.constData(), raw.size())), shown);
    }

    void informationSaysWhatTheFileIs() {
        const fs::path file = home->write("facts.eps", kBoxed);
        QuickLookWindow window(*registry, {file, file});
        QVERIFY(waitShown(window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_I, Qt::ControlModifier);
        InfoPanel* panel = window.actions()->infoPanel();
        QVERIFY(panel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->value(InfoPanel::tr("Size:")).isEmpty(), 30000);
        QVERIFY(panel->value(InfoPanel::tr("Size:")).startsWith("200.0 × 100.0 pt (70.6 × 35.3 mm)"));
        QCOMPARE(panel->value(InfoPanel::tr("Title:")), QStringLiteral("Fig\\x01 one"));
        QCOMPARE(panel->value(InfoPanel::tr("Creator:")), QStringLiteral("a test"));
        QCOMPARE(panel->value(InfoPanel::tr("For:")), QStringLiteral("someone"));
        QCOMPARE(panel->value(InfoPanel::tr("Language level:")), QStringLiteral("2"));
        QCOMPARE(panel->value(InfoPanel::tr("Kind:")), InfoPanel::tr("EPS drawing"));
        QCOMPARE(panel->value(InfoPanel::tr("Bytes:")), QLocale().toString(qulonglong(std::strlen(kBoxed))));
        QVERIFY2(panel->value(InfoPanel::tr("Fonts:")).endsWith("(embedded)"),
                 qPrintable(panel->value(InfoPanel::tr("Fonts:"))));
        if (const char* keep = std::getenv("VORREL_SCREENSHOT_DIR"))
            window.grab().save(QString("%1/information.png").arg(keep));
        QTest::keyClick(&window, Qt::Key_I, Qt::ControlModifier);
        QVERIFY(!panel->isVisible());
    }
};

QTEST_MAIN(TakingTest)
#include "Taking_qtest.moc"
