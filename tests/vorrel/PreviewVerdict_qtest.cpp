// The MIME Type Finder of the running application says what the preview does with each file:
// the content decides between drawing and document, and only the served types are previewed.
#include <QApplication>
#include <QTest>

#include "support/PostScript.h"
#include "support/TempHome.h"
#include "vorrel/Translations.h"
#include "vorrel/VorrelApp.h"
#include "widgets/UTIFinder.h"
#include "widgets/UTIFinderView.h"

using namespace vorrel;

class PreviewVerdictTest : public QObject {
    Q_OBJECT

    test::TempHome home_;
    std::unique_ptr<VorrelApp> app_;

    QString verdictOf(const std::string& name, const std::string& content) {
        const auto file = home_.write(name, content);
        auto* finder = zodadavovov::UTIFinder::shared().view();
        finder->setFiles({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        if (finder->selectedFiles().size() != 1) return "not listed";
        const QString verdict = finder->selectedFiles().first().verdict;
        if (!finder->resultText().endsWith("\nPreview: " + verdict)) return "not in the result";
        return verdict;
    }

private slots:
    void initTestCase() {
        app_ = std::make_unique<VorrelApp>();
        app_->showWindow();
    }
    void cleanupTestCase() { app_.reset(); }

    void saysWhatVorrelPreviews_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("verdict");
        const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n";
        const std::string document = test::ps::threePages();
        const auto bytes = [](const std::string& text) { return QByteArray::fromStdString(text); };
        QTest::newRow("EPS") << "a.eps" << bytes(eps) << "Vorrel previews it as an EPS drawing.";
        QTest::newRow("EPS inside a .ps")
            << "b.ps" << bytes(eps) << "Vorrel previews it as an EPS drawing: its content is EPS.";
        QTest::newRow("document")
            << "c.ps" << bytes(document) << "Vorrel previews it as a PostScript document.";
        QTest::newRow("gzip document") << "d.ps.gz" << bytes(test::ps::gzip(document))
                                       << "Vorrel previews it as a compressed PostScript document.";
        QTest::newRow("bzip2 EPS") << "e.eps.bz2" << bytes(test::ps::bzip2(eps))
                                   << "Vorrel previews it as a compressed EPS drawing.";
        QTest::newRow("not a served type")
            << "f.txt" << bytes(eps) << "Vorrel does not preview files of this type.";
    }
    void saysWhatVorrelPreviews() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, verdict);
        QCOMPARE(verdictOf(name.toStdString(), content.toStdString()), verdict);
    }

    void inGerman() {
        QVERIFY(installTranslations(QLocale(QLocale::German, QLocale::Germany)));
        QCOMPARE(verdictOf("g.ps", test::ps::threePages()), "Vorrel zeigt sie als PostScript-Dokument.");
        installTranslations(QLocale(QLocale::English));
    }
};

QTEST_MAIN(PreviewVerdictTest)
#include "PreviewVerdict_qtest.moc"
