// The Home pane's Space-bar rows: one per file manager found, a switch only where Space can be
// set up or undone, and a click that does it and says so.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <optional>

#include "support/TempHome.h"
#include "vorrel/HomeView.h"
#include "vorrel/SpaceBarChoice.h"

using namespace vorrel;
using spacebar::FileManager;

class SpaceBarChoiceTest : public QObject {
    Q_OBJECT

    std::optional<test::TempHome> home;

    spacebar::Environment environment(QStringList programs) {
        spacebar::Environment env;
        env.dataHome = QString::fromStdString((home->root() / "data").string());
        env.configHome = QString::fromStdString(home->configHome().string());
        env.dataDirs = {QString::fromStdString((home->root() / "system").string())};
        env.quickLook = QStringLiteral("/usr/bin/vorrel-quicklook");
        env.findProgram = [programs](const QString& name) {
            return programs.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        };
        env.busNameTaken = [](const QString&) { return false; };
        return env;
    }

private slots:
    void init() { home.emplace(); }
    void cleanup() { home.reset(); }

    void eachFileManagerFoundGetsARowAndItsSwitchWorks() {
        // Nemo cannot be set up: another previewer has a service file for its name.
        home->write("system/dbus-1/services/other.service", "[D-BUS Service]\nName=org.nemo.Preview\n");
        SpaceBarChoice choice(environment({"thunar", "nemo"}));
        QCOMPARE(choice.rows().size(), 2);
        const SpaceBarChoice::Row nemo = choice.rows()[0];
        const SpaceBarChoice::Row thunar = choice.rows()[1];
        QCOMPARE(nemo.manager, FileManager::Nemo);
        QVERIFY(nemo.action->isHidden());
        QVERIFY2(nemo.text->text().contains("other.service"), qPrintable(nemo.text->text()));

        QCOMPARE(thunar.action->text(), QStringLiteral("Set Up"));
        QVERIFY(!thunar.action->isHidden());
        thunar.action->click();
        QCOMPARE(thunar.action->text(), QStringLiteral("Undo"));
        QVERIFY2(thunar.text->text().contains("thunar -q"), qPrintable(thunar.text->text()));
        QVERIFY(QFile::exists(QString::fromStdString((home->configHome() / "Thunar/uca.xml").string())));
        thunar.action->click();
        QCOMPARE(thunar.action->text(), QStringLiteral("Set Up"));
        QVERIFY(!QFile::exists(QString::fromStdString((home->configHome() / "Thunar/uca.xml").string())));
    }

    void withNoFileManagerFoundTheRowsAreHidden() {
        for (const QStringList& programs : {QStringList{}, QStringList{"caja"}}) {
            QWidget pane;
            auto* choice = new SpaceBarChoice(environment(programs), &pane);
            pane.show();
            QCOMPARE(choice->rows().size(), programs.size());
            QCOMPARE(choice->isVisible(), !programs.isEmpty());
        }
    }

    void theHomePanesLinkOpensTheRowsOfTheFileManagersFound() {
        // Sushi's service file makes GNOME Files one of them.
        home->write("system/dbus-1/services/org.gnome.NautilusPreviewer.service", "[D-BUS Service]\n");
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString((home->root() / "system").string()));
        HomeView pane;
        pane.show();
        QVERIFY(pane.spaceBarLinkLabel()->isVisible());
        emit pane.spaceBarLinkLabel()->linkActivated(QLatin1String(HomeView::spaceBarLink));
        QVERIFY(pane.spaceBarDialog());
        auto* choice = pane.spaceBarDialog()->findChild<SpaceBarChoice*>();
        QVERIFY(choice);
        QCOMPARE(choice->rows().first().manager, FileManager::Files);
        QCOMPARE(choice->rows().first().action->text(), QStringLiteral("Set Up"));
        qunsetenv("XDG_DATA_DIRS");
    }
};

QTEST_MAIN(SpaceBarChoiceTest)
#include "SpaceBarChoice_qtest.moc"
