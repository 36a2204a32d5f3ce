// The real Sushi of Debian 12 (43), on a virtual X display and a private session bus: after
// "vorrel --space-bar=on", the call GNOME Files makes on Space opens Sushi's window on an EPS
// file, and the window shows the drawing (a large black square), neither its PostScript
// source as text nor an error page. Exits 77 (skipped) where Sushi is not installed.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QUrl>

#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include "support/TempHome.h"

using namespace vorrel;

namespace {

constexpr const char* kSushiService = "/usr/share/dbus-1/services/org.gnome.NautilusPreviewer.service";
constexpr const char* kSushi = "org.gnome.NautilusPreviewer";

// A 300 x 300 point drawing: a black square of 200 points on a white page.
constexpr const char* kSquare =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 300\n%%EndComments\n"
    "1 setgray 0 0 300 300 rectfill 0 setgray 50 50 200 200 rectfill\nshowpage\n%%EOF\n";

// Rows that cross a dark run of at least `run` pixels between two light runs of 30: a filled
// shape on a white page. Text has no such runs, the bare (black) screen no light ones.
int darkOnLightRows(const QImage& image, int run) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        // The runs of the row, as (dark?, length).
        QList<std::pair<bool, int>> runs;
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            const bool dark = grey < 60;
            if (!dark && grey < 200) {
                runs.append({false, 0});  // neither: breaks a light run
                continue;
            }
            if (runs.isEmpty() || runs.last().first != dark) runs.append({dark, 0});
            ++runs.last().second;
        }
        for (qsizetype i = 1; i + 1 < runs.size(); ++i)
            if (runs[i].first && runs[i].second >= run && runs[i - 1].second >= 30 &&
                runs[i + 1].second >= 30) {
                ++rows;
                break;
            }
    }
    return rows;
}

QDBusMessage sushiCall(const char* method) {
    return QDBusMessage::createMethodCall(kSushi, "/org/gnome/NautilusPreviewer",
                                          "org.gnome.NautilusPreviewer2", method);
}

}  // namespace

class Sushi43Test : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;

private slots:
    void initTestCase() { qDBusRegisterMetaType<QMap<QString, QString>>(); }
    void init() { home.emplace(); }
    void cleanup() {
        // Sushi lives on after its window closes; it is ours to end.
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        const QDBusReply<uint> pid = bus->servicePid(kSushi);
        if (pid.isValid() && pid.value() > 0) ::kill(pid_t(pid.value()), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!bus->isServiceRegistered(kSushi), 10000);
        home.reset();
    }

    void spaceOnAnEpsFileShowsTheDrawing() {
        const auto eps = home->write("files/square.eps", kSquare);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        QProcess vorrel;
        vorrel.setProcessEnvironment(environment);
        vorrel.start(QStringLiteral(VORREL_PREFIX_DIR "/bin/vorrel"), {"--space-bar=on"});
        QVERIFY(vorrel.waitForFinished(30000));
        const QByteArray lines = vorrel.readAllStandardOutput();
        QVERIFY2(lines.contains("GNOME Files: on"), lines.constData());

        // Sushi is started by the bus: give it this test's home and display.
        QDBusMessage update = QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "UpdateActivationEnvironment");
        QMap<QString, QString> variables;
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "DISPLAY"})
            variables.insert(name, qEnvironmentVariable(name));
        update << QVariant::fromValue(variables);
        QCOMPARE(QDBusConnection::sessionBus().call(update).type(), QDBusMessage::ReplyMessage);

        // Before Sushi's window: nothing of the kind on the screen.
        QCOMPARE(darkOnLightRows(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), 100), 0);

        QDBusMessage show = sushiCall("ShowFile");
        show << QUrl::fromLocalFile(QString::fromStdString(eps.string())).toString() << QString() << false;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(show, QDBus::Block, 60000);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));

        // The square is 200 points on a page of 300; Sushi sizes its window to the drawing, so
        // well over 100 rows of over 100 dark pixels each, between white, once it is drawn.
        QImage screen;
        int rows = 0;
        for (int attempt = 0; attempt < 60 && rows < 100; ++attempt) {
            QTest::qWait(1000);
            screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            rows = darkOnLightRows(screen, 100);
        }
        const QString shot = QDir::current().filePath("sushi43-square.png");
        screen.save(shot);
        QVERIFY2(rows >= 100, qPrintable(QStringLiteral("%1 dark rows; screenshot: %2").arg(rows).arg(shot)));
        QDBusConnection::sessionBus().call(sushiCall("Close"));
    }
};

int main(int argc, char* argv[]) {
    if (!QFile::exists(QLatin1String(kSushiService))) {
        std::printf("SKIP: Sushi is not installed (Debian: apt-get install gnome-sushi)\n");
        return 77;
    }
    QGuiApplication app(argc, argv);
    Sushi43Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "Sushi43_xvfb.moc"
