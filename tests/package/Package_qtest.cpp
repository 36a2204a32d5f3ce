// The Debian package, built with CPack from this build tree into a temporary folder: its
// control fields and contents as dpkg-deb reads them, then the package unpacked with
// dpkg-deb -x (never installed into the system) and its programs run from there.
#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "conversion/ServedTypes.h"
#include "support/Eps.h"
#include "support/TempHome.h"

namespace fs = std::filesystem;
using namespace vorrel;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end, with no display and the test's private home.
Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit) return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QString text(const fs::path& path) { return QString::fromStdString(path.string()); }

// The program, installed from Debian's archive first when it is missing and this test runs
// as root (as in CI); empty when it cannot be had.
QString tool(const QString& program, const QString& package) {
    QString found = QStandardPaths::findExecutable(program);
    if (!found.isEmpty() || geteuid() != 0) return found;
    qputenv("DEBIAN_FRONTEND", "noninteractive");
    const QStringList install{"install", "-y", "-qq", "--no-install-recommends", package};
    if (run("apt-get", install).exitCode != 0 && run("apt-get", {"update", "-qq"}).exitCode == 0)
        run("apt-get", install);
    return QStandardPaths::findExecutable(program);
}

// One entry of `dpkg-deb -c`: "drwxr-xr-x root/root 0 2026-01-01 10:00 ./usr/ [-> target]".
struct Entry {
    QString mode;
    QString owner;
    QString linkTarget;
};

QMap<QString, Entry> parseListing(const QByteArray& listing) {
    QMap<QString, Entry> entries;
    for (const QByteArray& line : listing.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
        if (fields.size() < 6) continue;
        QString path = fields[5];
        if (path.startsWith("./")) path.remove(0, 1);
        if (path.size() > 1 && path.endsWith('/')) path.chop(1);
        const QString target = fields.size() >= 8 && fields[6] == "->" ? fields[7] : QString();
        entries.insert(path, {fields[0], fields[1], target});
    }
    return entries;
}

const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

QString iconPath(int size) {
    return QString("/usr/share/icons/hicolor/%1x%1/apps/vorrel.png").arg(size);
}

}  // namespace

class PackageTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;
    fs::path package;
    fs::path root;  // the unpacked package
    QMap<QString, Entry> contents;

private slots:
    void initTestCase() {
        home.emplace();
        const fs::path out = home->root() / "package";
        const QString config = VORREL_BINARY_DIR "/CPackConfig.cmake";
        const Run cpack = run(VORREL_CPACK, {"-G", "DEB", "--config", config, "-B", text(out)});
        QVERIFY2(cpack.exitCode == 0, (cpack.out + cpack.err).constData());
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().extension() == ".deb") package = entry.path();
        QVERIFY2(!package.empty(), cpack.out.constData());
        QVERIFY2(QString::fromStdString(package.filename().string())
                     .startsWith("vorrel_" VORREL_VERSION "-" VORREL_BUILD_NUMBER "_"),
                 package.c_str());

        const Run listing = run("dpkg-deb", {"--contents", text(package)});
        QVERIFY2(listing.exitCode == 0, listing.err.constData());
        contents = parseListing(listing.out);

        root = home->root() / "unpacked";
        const Run unpack = run("dpkg-deb", {"--extract", text(package), text(root)});
        QVERIFY2(unpack.exitCode == 0, unpack.err.constData());
        // The converter is a relative link to usr/bin/gs, which the ghostscript package
        // installs beside the unpacked programs.
        fs::create_symlink("/usr/bin/gs", root / "usr/bin/gs");
    }

    void cleanupTestCase() { home.reset(); }

    void controlFields() {
        const Run fields =
            run("dpkg-deb", {"--field", text(package), "Package", "Version", "Depends"});
        QVERIFY2(fields.exitCode == 0, fields.err.constData());
        const QString control = QString::fromUtf8(fields.out);
        QVERIFY2(control.contains("Package: vorrel\n"), qPrintable(control));
        QVERIFY2(control.contains("Version: " VORREL_VERSION "-" VORREL_BUILD_NUMBER "\n"),
                 qPrintable(control));
        // The converter the package links to, what the programs load at run time (libcrypto,
        // with the first digest), and libraries only dpkg-shlibdeps can have found (nothing
        // names them by hand).
        const QString depends = control.section("Depends: ", 1).trimmed();
        for (const char* dependency : {"ghostscript", "shared-mime-info", "libqt6svg6", "libssl3",
                                       "libc6 (>=", "libqt6widgets6 (>=", "libqt6pdf6 (>="})
            QVERIFY2(depends.contains(dependency),
                     qPrintable(dependency + (" missing in " + depends)));
    }

    void contains_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");  // "program", "file", or the target of a link
        const auto row = [](const char* name, const QString& path, const QString& kind) {
            QTest::newRow(name) << "/usr/" + path << kind;
        };
        row("application", "bin/vorrel", "program");
        row("quick-look service", "bin/vorrel-quicklook", "program");
        row("thumbnailer", "bin/vorrel-thumbnailer", "program");
        row("plug-in", "lib/vorrel/vorrel-extension.so", "file");
        // The system's Ghostscript, whatever the build tree linked to, by a relative link.
        row("converter", "libexec/vorrel/converter", "../../bin/gs");
        row("copyright", "share/doc/vorrel/copyright", "file");
        row("changelog", "share/doc/vorrel/changelog.Debian.gz", "file");
        row("application entry", "share/applications/vorrel.desktop", "file");
        row("quick-look entry", "share/applications/vorrel-quicklook.desktop", "file");
        row("thumbnailer entry", "share/thumbnailers/vorrel.thumbnailer", "file");
        row("metainfo", "share/metainfo/com.quarnix.Vorrel.metainfo.xml", "file");
        // Sushi 51 and later read plug-ins from its own prefix only.
        row("Sushi plug-in", "lib/sushi/plugins-1/vorrel.js", "file");
        row("scalable icon", "share/icons/hicolor/scalable/apps/vorrel.svg", "file");
        for (const int size : kIconSizes)
            row(qPrintable(QString("icon %1").arg(size)), iconPath(size).mid(5), "file");
        row("manual vorrel", "share/man/man1/vorrel.1.gz", "file");
        row("manual vorrel-quicklook", "share/man/man1/vorrel-quicklook.1.gz", "file");
        row("manual vorrel-thumbnailer", "share/man/man1/vorrel-thumbnailer.1.gz", "file");
    }
    void contains() {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        QVERIFY2(contents.contains(path), qPrintable(QStringList(contents.keys()).join('\n')));
        const Entry entry = contents.value(path);
        QCOMPARE(entry.owner, "root/root");
        if (kind == "program") {
            QCOMPARE(entry.mode, "-rwxr-xr-x");
        } else if (kind == "file") {
            QCOMPARE(entry.mode, "-rw-r--r--");
        } else {
            QCOMPARE(entry.mode.at(0), 'l');
            QCOMPARE(entry.linkTarget, kind);
        }
    }

    // The PNG icons are drawn at the size their folder names, with transparency around the
    // page.
    void iconsAreDrawnAtTheirSize() {
        for (const int size : kIconSizes) {
            const QString path = iconPath(size);
            const QImage icon(text(root) + path);
            QVERIFY2(!icon.isNull(), qPrintable(path));
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(icon.hasAlphaChannel());
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QVERIFY(qAlpha(icon.pixel(size / 2, size / 2)) > 200);
        }
    }

    // The metainfo, its launcher entry and its icon agree, as software centres read them.
    void desktopMetadataIsWhole() {
        const Run validation =
            run("appstreamcli", {"validate-tree", "--no-net", "--strict", text(root)});
        QVERIFY2(validation.exitCode == 0, (validation.out + validation.err).constData());
    }

    void programsAnswerTheCommandLine_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");  // the first line, on standard output
        QTest::addColumn<QString>("err");  // the first line, on standard error
        const QString version = VORREL_VERSION " (build " VORREL_BUILD_NUMBER ")";
        for (const QString program : {"vorrel", "vorrel-quicklook", "vorrel-thumbnailer"}) {
            const QByteArray name = program.toUtf8();
            const QString versionLine = program + " " + version;
            const QString usage = "Usage: " + program + " [options]";
            QTest::addRow("%s --version", name.constData())
                << program << QStringList{"--version"} << 0 << versionLine << "";
            QTest::addRow("%s --help", name.constData())
                << program << QStringList{"--help"} << 0 << usage << "";
            QTest::addRow("%s --help beside an unknown option", name.constData())
                << program << QStringList{"--frobnicate", "-h"} << 0 << usage << "";
            QTest::addRow("%s with an unknown option", name.constData())
                << program << QStringList{"--frobnicate"} << 2 << ""
                << program + ": Unknown option 'frobnicate'.";
        }
        QTest::newRow("vorrel-quicklook without a file")
            << "vorrel-quicklook" << QStringList{} << 2 << "" << "vorrel-quicklook: no file given";
        QTest::newRow("vorrel-quicklook with --snapshot lacking its value")
            << "vorrel-quicklook" << QStringList{"--snapshot"} << 2 << ""
            << "vorrel-quicklook: Missing value after '--snapshot'.";
        QTest::newRow("vorrel-thumbnailer without a size")
            << "vorrel-thumbnailer" << QStringList{"in.eps", "out.png"} << 2 << ""
            << "vorrel-thumbnailer: no size given (-s SIZE)";
    }
    void programsAnswerTheCommandLine() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run result = run(text(root / "usr/bin") + "/" + program, arguments);
        QVERIFY2(result.exitCode == status, (result.out + result.err).constData());
        const auto firstLine = [](const QByteArray& bytes) {
            return QString::fromUtf8(bytes.left(bytes.indexOf('\n')));
        };
        if (out.isEmpty()) {
            QVERIFY(result.out.isEmpty());
        } else {
            QVERIFY2(firstLine(result.out).startsWith(out), result.out.constData());
        }
        if (err.isEmpty()) {
            QVERIFY(result.err.isEmpty());
        } else {
            QCOMPARE(firstLine(result.err), err);
            QVERIFY(result.err.contains(("Try '" + program + " --help'").toUtf8()));
        }
    }

    // The unpacked service finds its plug-in two folders up from lib/vorrel and the converter
    // through the link to the system's Ghostscript.
    void unpackedServicePreviews() {
        const fs::path file = home->write("drawings/line art.eps", test::eps::lineArt());
        const Run result = run(text(root / "usr/bin/vorrel-quicklook"), {"--headless", text(file)});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        const QJsonObject json = QJsonDocument::fromJson(result.out.trimmed()).object();
        QCOMPARE(json.value("file").toString(), text(file));
        QCOMPARE(json.value("format").toString(), "PDF");
        const fs::path output = json.value("output").toString().toStdString();
        QVERIFY(fs::is_regular_file(output));
        QVERIFY2(text(output).startsWith(text(home->cacheHome())), qPrintable(text(output)));
    }

    // File managers offer the preview, the set-up link and the thumbnails for the same types.
    void entriesListTheServedTypes_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("quick-look entry") << "usr/share/applications/vorrel-quicklook.desktop";
        QTest::newRow("thumbnailer entry") << "usr/share/thumbnailers/vorrel.thumbnailer";
    }
    void entriesListTheServedTypes() {
        QFETCH(QString, path);
        QString served;
        for (const std::string_view type : kServedMimeTypes)
            served += QString::fromLatin1(type.data(), type.size()) + ';';
        const QString entry = test::readFile(root / path.toStdString()).c_str();
        QVERIFY2(entry.contains("\nMimeType=" + served + "\n"), qPrintable(entry));
    }

    // The unpacked thumbnailer finds the converter one folder up from bin, as file managers
    // start it through the entry's Exec line.
    void unpackedThumbnailerDrawsAThumbnail() {
        const QString entry =
            test::readFile(root / "usr/share/thumbnailers/vorrel.thumbnailer").c_str();
        QVERIFY2(entry.contains("\nExec=vorrel-thumbnailer -s %s %i %o\n"), qPrintable(entry));

        const fs::path file = home->write("drawings/line art.eps", test::eps::lineArt());
        const fs::path thumbnail = home->root() / "thumbnails" / "line art.png";
        fs::create_directories(thumbnail.parent_path());
        const Run result = run(text(root / "usr/bin/vorrel-thumbnailer"),
                               {"-s", "128", text(file), text(thumbnail)});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        const QImage image(text(thumbnail));
        QCOMPARE(image.size(), QSize(128, 128));
        QVERIFY(!image.hasAlphaChannel());
        QCOMPARE(image.pixelColor(2, 2), QColor(Qt::white));  // the line art leaves its corners
        QVERIFY(image.pixelColor(64, 64) != QColor(Qt::white));  // and fills its middle
    }

    // What a distribution checks before it takes a package: lintian's errors and warnings.
    void lintianFindsNothing() {
        const QString lintian = tool("lintian", "lintian");
        if (lintian.isEmpty()) QSKIP("lintian is not installed and cannot be installed here");
        const Run result = run(lintian, {"--fail-on", "error,warning", "--tag-display-limit", "0",
                                         text(package)});
        QVERIFY2(result.exitCode == 0, (result.out + result.err).constData());
        for (const QByteArray& line : result.out.split('\n'))
            QVERIFY2(!line.startsWith("E:") && !line.startsWith("W:"), line.constData());
    }

    // Every program and the plug-in read hostile files: built with Debian's hardening.
    void programsAreHardened_data() {
        QTest::addColumn<QString>("path");
        for (const char* path : {"bin/vorrel", "bin/vorrel-quicklook", "bin/vorrel-thumbnailer",
                                 "lib/vorrel/vorrel-extension.so"})
            QTest::newRow(path) << QString("/usr/") + path;
    }
    void programsAreHardened() {
        QFETCH(QString, path);
        if (VORREL_SANITIZED)
            QSKIP("A sanitizer build links without the hardening flags; make test checks them");
        const QString check = tool("hardening-check", "devscripts");
        if (check.isEmpty()) QSKIP("hardening-check (devscripts) is not installed and cannot be "
                                   "installed here");
        // Control-flow protection is no Debian 12 hardening flag, and its libraries lack the
        // property the linker needs to mark a program. Debug trees keep plain code: no
        // fortified calls or stack protector; the release build (make package) has them.
        QStringList arguments{"--nocfprotection"};
        if (!VORREL_OPTIMISED) {
            qInfo("A debug build: only PIE, RELRO and immediate binding are checked.");
            arguments << "--nofortify" << "--nostackprotector";
        }
        const Run result = run(check, arguments << text(root) + path);
        QVERIFY2(result.exitCode == 0, (result.out + result.err).constData());
    }
};

QTEST_GUILESS_MAIN(PackageTest)
#include "Package_qtest.moc"
