// The real vorrel-quicklook program, headless, on EPS files the tests write: its JSON line,
// its errors and exit status, its snapshots.
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <filesystem>
#include <optional>
#include <vector>

#include "support/Eps.h"
#include "support/PostScript.h"
#include "support/TempHome.h"

namespace fs = std::filesystem;
using namespace vorrel;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Distinct colours in the image: a blank snapshot has one or two.
int colourCount(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    return colours.size();
}

}  // namespace

class ServiceTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;

    // Headless, or with a window on the offscreen platform.
    Run run(const QStringList& arguments, bool headless = true) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home->configHome().string()));
        environment.insert("XDG_CACHE_HOME", QString::fromStdString(home->cacheHome().string()));
        environment.remove("QT_QPA_PLATFORM");  // --headless must manage without a display
        environment.remove("DISPLAY");
        if (!headless) environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VORREL_PREFIX_DIR "/bin/vorrel-quicklook"),
                      (headless ? QStringList{"--headless"} : QStringList{}) + arguments);
        if (!process.waitForFinished(120000)) return {};
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    void setTransparent(bool on) {
        const fs::path suite =
            home->configHome() / "vorrel" / (VORREL_TEAM_ID_PREFIX "group.com.quarnix.Vorrel.json");
        home->write(fs::relative(suite, home->root()),
                    on ? R"({"transparentBackground": true})" : R"({"transparentBackground": false})");
    }

    static QString text(const fs::path& path) { return QString::fromStdString(path.string()); }

    // The snapshot is no blank image; the sample's sky is blue along its top.
    void checkSnapshot(const fs::path& path, bool showsSample) {
        const QImage image(text(path));
        QVERIFY(!image.isNull());
        QVERIFY2(colourCount(image) > 20, qPrintable(QString::number(colourCount(image))));
        if (showsSample) {
            QVERIFY(image.width() > image.height());
            const QColor sky = image.pixelColor(image.width() / 2, 12);
            QVERIFY2(sky.blue() > sky.red() + 60, qPrintable(sky.name()));
        }
        if (const char* keep = std::getenv("VORREL_SCREENSHOT_DIR"))
            image.save(QString("%1/headless-%2.png").arg(keep, QTest::currentDataTag()));
    }

private slots:
    void init() { home.emplace(); }
    void cleanup() { home.reset(); }

    void previewPrintsOneJsonLine_data() {
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dosBinaryFile");
        QTest::addColumn<QString>("format");
        QTest::newRow("PDF") << false << "line art.eps" << false << "PDF";
        QTest::newRow("PNG") << true << "line art.eps" << false << "PNG";
        QTest::newRow("non-ASCII name") << false << "\xc3\xa9t\xc3\xa9 \xe2\x98\x80.eps" << false << "PDF";
        QTest::newRow("DOS-binary EPS, recognised by content") << false << "drawing" << true << "PDF";
    }
    void previewPrintsOneJsonLine() {
        QFETCH(bool, transparent);
        QFETCH(QString, name);
        QFETCH(bool, dosBinaryFile);
        QFETCH(QString, format);
        setTransparent(transparent);
        // The sample drawing, 480 × 320 points.
        const std::string art = test::readFile(fs::path(VORREL_SOURCE_DIR) / "resources/samples/vorrel-sample.eps");
        const fs::path file = home->write(name.toStdString(), dosBinaryFile ? test::eps::dosBinary(art) : art);
        const fs::path snapshot = home->root() / "snapshot.png";

        const Run result = run({"--snapshot", text(snapshot), text(file)});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        const QList<QByteArray> lines = result.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        const QJsonObject json = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(json.value("file").toString(), text(file));
        QCOMPARE(json.value("format").toString(), format);
        const fs::path output = json.value("output").toString().toStdString();
        QVERIFY(fs::exists(output));
        QCOMPARE(output.parent_path().filename(), fs::path("tmp"));
        QCOMPARE(QString::fromStdString(output.extension().string()), "." + format.toLower());
        const QJsonArray size = json.value("contentSize").toArray();
        QCOMPARE(size.size(), 2);
        // One point to one pixel in both formats; a PDF adds the view's narrow margins.
        const double margins = transparent ? 0.5 : 24;
        QVERIFY(size[0].toDouble() > 479.5 && size[0].toDouble() < 480 + margins);
        QVERIFY(size[1].toDouble() > 319.5 && size[1].toDouble() < 320 + margins);
        checkSnapshot(snapshot, true);
    }

    void failurePrintsTheErrorText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::newRow("not EPS") << "notes.txt" << QByteArray("just some words\n")
                                 << "No preview extension serves files of type text/plain.";
        QTest::newRow("PostScript error")
            << "broken.eps" << QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchoperator\n")
            << "Ghostscript could not convert this file. It may be damaged, or not be PostScript.";
    }
    void failurePrintsTheErrorText() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const fs::path file = home->write(name.toStdString(), content.toStdString());
        const fs::path snapshot = home->root() / "fallback.png";
        const Run result = run({"--snapshot", text(snapshot), text(file)});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(QString::fromUtf8(result.err.trimmed().split('\n').last()), error);
        // Its one JSON line on standard output says the same.
        const QList<QByteArray> lines = result.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        const QJsonObject json = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(json.keys(), QStringList{"error"});
        QCOMPARE(json.value("error").toString(), error);
        checkSnapshot(snapshot, false);  // the fallback: icon, name and error
    }

    // A document drawn only in part is shown with the pages it reached: "complete": false.
    void partialDocumentSaysSo_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("pages");
        std::string failing = test::ps::threePages();
        failing.insert(failing.find("%%Page: 3 3"), "nosuchoperator\n");
        const std::string compressed = test::ps::gzip(test::ps::document(std::vector<std::pair<int, int>>(40, {200, 300})));
        QTest::newRow("page 3 fails") << QByteArray::fromStdString(failing) << 2;
        QTest::newRow("compressed file cut in the middle")
            << QByteArray::fromStdString(compressed.substr(0, compressed.size() / 2)) << 0;
    }
    void partialDocumentSaysSo() {
        QFETCH(QByteArray, content);
        QFETCH(int, pages);
        const fs::path file = home->write(std::string(QTest::currentDataTag()) + ".ps.gz",
                                          pages ? test::ps::gzip(content.toStdString()) : content.toStdString());
        const Run result = run({text(file)});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        const QList<QByteArray> lines = result.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        const QJsonObject json = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(json.value("complete").toBool(true), false);
        if (pages) QCOMPARE(json.value("pages").toInt(), pages);
        QVERIFY(json.value("pages").toInt() > 0 && json.value("pages").toInt() < 40);
    }

    // With a window, the snapshot is taken once the page has been drawn, not at the first
    // paint, which shows an empty sheet.
    // Where no display answers, the window says so in one sentence and exits 1, whatever
    // platform was asked for: Qt would abort.
    void withoutADisplayTheWindowSaysSo_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("nothing asked for") << QString();
        QTest::newRow("wayland") << QStringLiteral("wayland");
        QTest::newRow("xcb") << QStringLiteral("xcb");
    }
    void withoutADisplayTheWindowSaysSo() {
        QFETCH(QString, platform);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (!platform.isEmpty()) environment.insert("QT_QPA_PLATFORM", platform);
        environment.insert("XDG_CACHE_HOME", QString::fromStdString(home->cacheHome().string()));
        process.setProcessEnvironment(environment);
        const fs::path sample = fs::path(VORREL_SOURCE_DIR) / "resources/samples/vorrel-sample.eps";
        process.start(QStringLiteral(VORREL_PREFIX_DIR "/bin/vorrel-quicklook"), {text(sample)});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QString error = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(error.contains("there is no display to show a window on"), qPrintable(error));
    }

    void windowSnapshotShowsTheDrawing() {
        const fs::path sample = fs::path(VORREL_SOURCE_DIR) / "resources/samples/vorrel-sample.eps";
        const fs::path snapshot = home->root() / "window.png";
        const Run result =
            run({"--snapshot", text(snapshot), "--quit-after-paint", text(sample)}, false);
        QCOMPARE(result.exitCode, 0);
        checkSnapshot(snapshot, true);
    }
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "Service_qtest.moc"
