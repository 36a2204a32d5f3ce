// The edits of the file managers' own configuration files: ours goes in, the user's bytes
// stay, and taking ours out gives back exactly what was there.
#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include "spacebar/ConfigEdits.h"

namespace vorrel::spacebar {
namespace {

const QString kId = QStringLiteral("vorrel-quick-look");

QByteArray ourBlock() {
    return ucaActionBlock(kId, QStringLiteral("Quick Look"), QStringLiteral("Preview <fast> & sharp"),
                          QStringLiteral("'/opt/v r/vorrel-quicklook' %F"), QStringLiteral("*.eps;*.ps"));
}

bool wellFormed(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) reader.readNext();
    return !reader.hasError();
}

struct UcaCase {
    const char* what;
    QByteArray original;
};

class UcaRoundTrip : public testing::TestWithParam<UcaCase> {};

TEST_P(UcaRoundTrip, TheUsersActionStaysAndRemovalRestoresEveryByte) {
    const QByteArray original = GetParam().original;
    const EditResult added = ucaAddAction(original, ourBlock(), kId);
    ASSERT_TRUE(added.bytes) << added.problem.toStdString();
    EXPECT_TRUE(wellFormed(*added.bytes)) << added.bytes->toStdString();
    EXPECT_TRUE(ucaHasAction(*added.bytes, kId));
    EXPECT_TRUE(added.bytes->contains("&lt;fast&gt; &amp; sharp"));
    if (original.contains("<unique-id>1-1</unique-id>")) {
        EXPECT_TRUE(added.bytes->contains("<unique-id>1-1</unique-id>"));
    }
    // Adding twice adds once.
    EXPECT_EQ(ucaAddAction(*added.bytes, ourBlock(), kId).bytes, added.bytes);

    const EditResult removed = ucaRemoveAction(*added.bytes, kId);
    ASSERT_TRUE(removed.bytes) << removed.problem.toStdString();
    EXPECT_EQ(*removed.bytes, original.isEmpty() ? QByteArray() : original)
        << removed.bytes->toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, UcaRoundTrip,
    testing::Values(
        UcaCase{"thunar's own layout",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<icon>utilities-terminal</icon>\n"
                "\t<name>Open Terminal Here</name>\n\t<unique-id>1-1</unique-id>\n"
                "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
                "\t<patterns>*</patterns>\n\t<directories/>\n</action>\n</actions>\n"},
        UcaCase{"indented with spaces, no final newline",
                "<?xml version=\"1.0\"?>\n<actions>\n  <action><name>Mine</name><unique-id>1-1</unique-id></action>\n  </actions>"},
        UcaCase{"all on one line", "<actions><action><unique-id>1-1</unique-id></action></actions>"},
        UcaCase{"Latin-1 bytes of the user's",
                "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<actions>\n<action><name>Caf\xe9</name>"
                "<unique-id>1-1</unique-id></action>\n</actions>\n"}),
    [](const testing::TestParamInfo<UcaCase>& param) { return "case" + std::to_string(param.index); });

TEST(UcaEdits, AFileThatIsNotAnActionListIsLeftAlone) {
    for (const QByteArray& bad : {QByteArray("<actions><action>"), QByteArray("<menu/>"),
                                 QByteArray("not xml at all")}) {
        const EditResult result = ucaAddAction(bad, ourBlock(), kId);
        EXPECT_FALSE(result.bytes) << bad.toStdString();
        EXPECT_FALSE(result.problem.isEmpty());
    }
}

TEST(UcaEdits, NoFileYetBecomesAListOfOurActionAlone) {
    const EditResult added = ucaAddAction({}, ourBlock(), kId);
    ASSERT_TRUE(added.bytes);
    EXPECT_EQ(*added.bytes, ucaFileWith(ourBlock()));
    EXPECT_TRUE(wellFormed(*added.bytes));
}

TEST(UcaEdits, RemovalTakesOnlyOurActionWhenTheFileWasRewritten) {
    // As a file manager writes the list again: our action among the user's, other spacing.
    const QByteArray rewritten =
        "<actions>\n<action>\n\t<unique-id>1-1</unique-id>\n</action>\n<action>\n\t<name>Quick Look</name>\n"
        "\t<unique-id>vorrel-quick-look</unique-id>\n</action>\n<action>\n\t<unique-id>2-2</unique-id>\n</action>\n</actions>\n";
    const EditResult removed = ucaRemoveAction(rewritten, kId);
    ASSERT_TRUE(removed.bytes);
    EXPECT_EQ(*removed.bytes,
              "<actions>\n<action>\n\t<unique-id>1-1</unique-id>\n</action>\n<action>\n\t<unique-id>2-2</unique-id>\n"
              "</action>\n</actions>\n");
}

TEST(AccelEdits, AddingAndRemovingRestoresEveryByte) {
    const QByteArray line = accelLine(QStringLiteral("<Actions>/ThunarActions/uca-action-vorrel-quick-look"),
                                      QStringLiteral("space"));
    EXPECT_EQ(line, "(gtk_accel_path \"<Actions>/ThunarActions/uca-action-vorrel-quick-look\" \"space\")");
    for (const QByteArray& original :
         {QByteArray(), QByteArray("; thunar GtkAccelMap rc-file         -*- scheme -*-\n"),
          QByteArray("(gtk_accel_path \"<Actions>/ThunarWindow/close-tab\" \"<Primary>w\")"),
          QByteArray("; (gtk_accel_path \"<Actions>/ThunarActions/uca-action-vorrel-quick-look\" \"\")\n\n")}) {
        const QByteArray added = accelsAddLine(original, line);
        EXPECT_TRUE(accelsHaveLine(added, line)) << added.toStdString();
        EXPECT_TRUE(added.startsWith(original));
        EXPECT_EQ(accelsAddLine(added, line), added);
        EXPECT_EQ(accelsRemoveLine(added, line), original) << original.toStdString();
    }
    // A commented-out line is not a binding.
    EXPECT_FALSE(accelsHaveLine("; " + line + "\n", line));
}

TEST(AccelEdits, SchemeStringsEscapeQuotesAndBackslashes) {
    EXPECT_EQ(accelLine(QStringLiteral("a\\s\"b"), QStringLiteral("space")),
              "(gtk_accel_path \"a\\\\s\\\"b\" \"space\")");
}

TEST(CajaScripts, TheActionNameIsTheEscapedUri) {
    EXPECT_EQ(cajaScriptActionName(QStringLiteral("/home/u/.config/caja/scripts/Quick Look")),
              QStringLiteral("script_file:\\s\\s\\shome\\su\\s.config\\scaja\\sscripts\\sQuick%20Look"));
}

}  // namespace
}  // namespace vorrel::spacebar
