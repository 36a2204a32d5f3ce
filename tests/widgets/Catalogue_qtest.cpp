// The library's own catalogue: with a German locale at first use, the library's texts
// come out in German from the embedded translations; keys without a translation stay
// English, and the fallback icons are embedded too.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "support/TempHome.h"
#include "widgets/AppVersionUpdaterView.h"
#include "widgets/LibraryBundle.h"
#include "widgets/UTIFinderView.h"

using namespace vorrel;
using namespace vorrel::zodadavovov;

class CatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void germanTextsFromTheEmbeddedCatalogue() {
        test::TempHome home;
        QVERIFY(QFile::exists(libraryResourceRoot() + "/i18n/zodadavovov_de.qm"));
        // The drawn application icon is the installed one.
        QFile drawn(libraryResourceRoot() + "/icons/app-icon.svg");
        QFile installed(VORREL_SOURCE_DIR "/resources/vorrel/vorrel.svg");
        QVERIFY(drawn.open(QIODevice::ReadOnly) && installed.open(QIODevice::ReadOnly));
        QCOMPARE(drawn.readAll(), installed.readAll());
        AppVersionUpdaterView view({});
        QCOMPARE(view.checkForUpdatesButton()->text(), QString("Nach Updates suchen …"));
        QCOMPARE(view.automaticCheckBox()->text(), QString("Automatisch nach Updates suchen"));
        QCOMPARE(view.versionLabel()->text(), QString("Version 1.2 (34)"));
        UTIFinderView finder;
        QCOMPARE(finder.selectFilesButton()->text(), QString("Dateien auswählen"));
        QCOMPARE(libraryText("A text the catalogue does not have"),
                 QString("A text the catalogue does not have"));
    }

    void reportTextStaysEnglishButJoinsListsInGerman() {
        const UTIFile file{"a.eps", "EPS-Bild", "image/x-eps", {"eps", "epsi", "epsf"}};
        QCOMPARE(file.reportText(),
                 QString("Name: a.eps\nKind: EPS-Bild\nMIME Type: image/x-eps\nExtensions: eps, epsi und epsf"));
    }
};

QTEST_MAIN(CatalogueTest)
#include "Catalogue_qtest.moc"
