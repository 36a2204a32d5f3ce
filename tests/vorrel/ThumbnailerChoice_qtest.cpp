// The Home pane's thumbnailer choice against real folders: another entry for EPS files is
// found, the user-level entry it installs is the one a thumbnail factory reads first for every
// served type, and it goes again on request.
#include <QDir>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTest>

#include <optional>

#include "conversion/ServedTypes.h"
#include "support/TempHome.h"
#include "vorrel/ThumbnailerChoice.h"
#include "vorrel/Translations.h"

using namespace vorrel;

namespace {

const QString kThumbnailer = "/opt/vorrel build/bin/vorrel-thumbnailer";

// The Exec line a factory runs for each MIME type, read as GNOME's does: the user's data
// folder, then each of $XDG_DATA_DIRS; within a folder every entry; the first entry for a type
// keeps it.
QMap<QString, QString> factoryChoice() {
    QStringList folders{qEnvironmentVariable("XDG_DATA_HOME")};
    folders += qEnvironmentVariable("XDG_DATA_DIRS").split(':', Qt::SkipEmptyParts);
    QMap<QString, QString> chosen;
    for (const QString& folder : folders) {
        const QDir dir(folder + "/thumbnailers");
        for (const QString& name : dir.entryList({"*.thumbnailer"}, QDir::Files)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) continue;
            QString exec;
            QStringList types;
            for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
                if (line.startsWith("Exec=")) exec = line.mid(5);
                if (line.startsWith("MimeType=")) types = line.mid(9).split(';', Qt::SkipEmptyParts);
            }
            for (const QString& type : types)
                if (!chosen.contains(type)) chosen.insert(type, exec);
        }
    }
    return chosen;
}

}  // namespace

class ThumbnailerChoiceTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;
    QByteArray savedDataDirs;

    void writeSystemEntry(const QString& name, const QString& exec, const QString& types) {
        home->write(("system/thumbnailers/" + name + ".thumbnailer").toStdString(),
                    ("[Thumbnailer Entry]\nTryExec=" + exec.section(' ', 0, 0) + "\nExec=" + exec +
                     "\nMimeType=" + types + "\n")
                        .toStdString());
    }

private slots:
    void init() {
        home.emplace();
        savedDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString((home->root() / "system").string()));
        writeSystemEntry("vorrel", "vorrel-thumbnailer -s %s %i %o", "image/x-eps;");
    }
    void cleanup() {
        qputenv("XDG_DATA_DIRS", savedDataDirs);
        home.reset();
    }

    void onlyOursNeedsNoChoice() {
        QWidget pane;
        auto* choice = new ThumbnailerChoice(kThumbnailer, &pane);
        pane.show();
        QVERIFY(!choice->isVisible());
    }

    void userEntryIsReadFirstThenRemoved() {
        // Read before ours in the same folder: today the other one makes EPS thumbnails.
        writeSystemEntry("aaa-other", "other-thumbnailer %i %o", "application/postscript;image/x-eps;");
        QCOMPARE(factoryChoice().value("image/x-eps"), "other-thumbnailer %i %o");

        QWidget pane;
        ThumbnailerChoice& choice = *new ThumbnailerChoice(kThumbnailer, &pane);
        pane.show();
        QVERIFY(choice.isVisible());
        QVERIFY2(choice.textLabel()->text().contains("aaa-other"),
                 qPrintable(choice.textLabel()->text()));
        QCOMPARE(choice.actionButton()->text(), "Use Vorrel's Thumbnails");

        QTest::mouseClick(choice.actionButton(), Qt::LeftButton);
        const QMap<QString, QString> ours = factoryChoice();
        for (const std::string_view type : kServedMimeTypes)
            QCOMPARE(ours.value(QString::fromLatin1(type.data(), type.size())),
                     "\"" + kThumbnailer + "\" -s %s %i %o");
        QVERIFY(QFile::exists(QString::fromStdString(
            (home->root() / "data/thumbnailers/vorrel.thumbnailer").string())));
        QCOMPARE(choice.actionButton()->text(), "Use Any Thumbnailer");

        QTest::mouseClick(choice.actionButton(), Qt::LeftButton);
        QCOMPARE(factoryChoice().value("image/x-eps"), "other-thumbnailer %i %o");
        QVERIFY(QDir(QString::fromStdString((home->root() / "data/thumbnailers").string()))
                    .isEmpty());
        QCOMPARE(choice.actionButton()->text(), "Use Vorrel's Thumbnails");
    }

    // The notice speaks the user's language too.
    void inGerman() {
        writeSystemEntry("aaa-other", "other-thumbnailer %i %o", "image/x-eps;");
        QVERIFY(installTranslations(QLocale(QLocale::German)));
        QWidget pane;
        ThumbnailerChoice& choice = *new ThumbnailerChoice(kThumbnailer, &pane);
        QCOMPARE(choice.textLabel()->text(),
                 "Ein anderes Vorschauprogramm macht ebenfalls Vorschaubilder von EPS-Dateien "
                 "(aaa-other), und der Dateimanager kann jedes der beiden nutzen.");
        QCOMPARE(choice.actionButton()->text(), "Vorschaubilder von Vorrel nutzen");
        QVERIFY(!installTranslations(QLocale(QLocale::Italian)));
    }
};

QTEST_MAIN(ThumbnailerChoiceTest)
#include "ThumbnailerChoice_qtest.moc"
