// What a file is, read without running it: the fonts a PDF names and whether each is embedded,
// the header comments of plain, compressed and DOS-binary files.
#include <QTest>

#include <filesystem>
#include <optional>
#include <string>

#include "preview/FileFacts.h"
#include "support/Eps.h"
#include "support/PostScript.h"
#include "support/TempHome.h"

using namespace vorrel;
using Font = quicklook::PreviewFacts::Font;
using Fonts = std::vector<Font>;
Q_DECLARE_METATYPE(Fonts)

class FileFactsTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;

private slots:
    void initTestCase() { home.emplace(); }
    void cleanupTestCase() { home.reset(); }

    void pdfFonts_data() {
        QTest::addColumn<QByteArray>("pdf");
        QTest::addColumn<Fonts>("fonts");
        QTest::newRow("embedded, subset tag dropped")
            << QByteArray("1 0 obj <</Type/Font/BaseFont/ABCDEF+NimbusSans-Regular/FontDescriptor 2 0 R>> endobj\n"
                          "2 0 obj <</Type/FontDescriptor/FontName/ABCDEF+NimbusSans-Regular/FontFile 3 0 R>> endobj\n")
            << Fonts{{"NimbusSans-Regular", true}};
        QTest::newRow("no font file: not embedded")
            << QByteArray("1 0 obj <</Type/Font/BaseFont/Helvetica/FontDescriptor 2 0 R>> endobj\n"
                          "2 0 obj <</Type/FontDescriptor/FontName/Helvetica/Flags 32>> endobj\n"
                          "3 0 obj <</Length 9>> stream\n/FontFile\nendstream endobj\n")
            << Fonts{{"Helvetica", false}};
        QTest::newRow("escaped names, two fonts, sorted")
            << QByteArray("<</BaseFont /Zed#20Font>> <</BaseFont/Alpha>>\n"
                          "4 0 obj <</FontName /Zed#20Font /FontFile2 5 0 R>> endobj\n")
            << Fonts{{"Alpha", false}, {"Zed Font", true}};
        QTest::newRow("cut short after the key") << QByteArray("<</BaseFont") << Fonts{};
        QTest::newRow("no fonts") << QByteArray("%PDF-1.7\n%%EOF\n") << Fonts{};
    }
    void pdfFonts() {
        QFETCH(QByteArray, pdf);
        QFETCH(Fonts, fonts);
        QVERIFY(vorrel::pdfFonts(std::string_view(pdf.constData(), pdf.size())) == fonts);
    }

    void headerComments_data() {
        QTest::addColumn<QByteArray>("bytes");
        const std::string header =
            "%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 0 0 10 10\r\n%%Title: (A title)\r\n"
            "%%Creator:   maker 1.0  \r\n%%Title: second title\r\n%%EndComments\r\n"
            "%%For: after the comments\r\n0 0 10 10 rectfill\r\n";
        QTest::newRow("plain, CR LF") << QByteArray::fromStdString(header);
        QTest::newRow("gzip") << QByteArray::fromStdString(test::ps::gzip(header));
        QTest::newRow("DOS binary") << QByteArray::fromStdString(test::eps::dosBinary(header));
    }
    void headerComments() {
        QFETCH(QByteArray, bytes);
        const auto file = home->write(std::string(QTest::currentDataTag()) + ".eps", bytes.toStdString());
        const quicklook::PreviewFacts facts = readFileFacts(file, home->root() / "no.pdf");
        QCOMPARE(facts.title, std::string("A title"));
        QCOMPARE(facts.creator, std::string("maker 1.0"));
        QCOMPARE(facts.forWhom, std::string());
        QCOMPARE(facts.bytes, std::uint64_t(bytes.size()));
        QCOMPARE(facts.document, false);
        QCOMPARE(facts.pages, 0);
    }
};

QTEST_MAIN(FileFactsTest)
#include "FileFacts_qtest.moc"
