// Setting Space up in each file manager and undoing it, in a temporary home: what is written,
// that the user's own files keep every byte, and what is refused.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <filesystem>

#include "spacebar/SpaceBar.h"
#include "spacebar/SpaceBarCommand.h"
#include "support/TempHome.h"

namespace vorrel::spacebar {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& path) { return QString::fromStdString(path.string()); }

class SpaceBarTest : public testing::Test {
protected:
    Environment environment(QStringList programs = {"nautilus", "nemo", "thunar", "caja"}) {
        Environment env;
        env.dataHome = q(home.root() / "data");
        env.configHome = q(home.configHome());
        env.dataDirs = {q(home.root() / "system")};
        env.quickLook = QStringLiteral("/opt/it's here/vorrel-quicklook");
        env.sushiPluginFolder = q(home.root() / "lib/sushi/plugins-1");
        env.findProgram = [programs](const QString& name) {
            return programs.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        };
        env.busNameTaken = [this](const QString&) { return busNameTaken; };
        env.reloadBus = [this] { ++reloads; };
        return env;
    }

    test::TempHome home;
    bool busNameTaken = false;
    int reloads = 0;
};

TEST_F(SpaceBarTest, ThunarKeepsTheUsersActionAndKeysAndOffRestoresThemByteForByte) {
    const std::string uca =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<icon>utilities-terminal</icon>\n"
        "\t<name>Open Terminal Here</name>\n\t<unique-id>1700000000000000-1</unique-id>\n"
        "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
        "\t<patterns>*</patterns>\n\t<startup-notify/>\n\t<directories/>\n</action>\n</actions>\n";
    const std::string accels = "; thunar GtkAccelMap rc-file         -*- scheme -*-\n"
                               "(gtk_accel_path \"<Actions>/ThunarWindow/close-tab\" \"<Primary>w\")\n";
    const auto ucaPath = home.write("config/Thunar/uca.xml", uca);
    const auto accelsPath = home.write("config/Thunar/accels.scm", accels);
    SpaceBar spaceBar(environment());
    EXPECT_EQ(spaceBar.status(FileManager::Thunar).state, State::Off);

    ASSERT_TRUE(spaceBar.turnOn(FileManager::Thunar).ok);
    EXPECT_EQ(spaceBar.status(FileManager::Thunar).state, State::On);
    const std::string merged = test::readFile(ucaPath);
    EXPECT_NE(merged.find("<unique-id>1700000000000000-1</unique-id>"), std::string::npos);
    EXPECT_NE(merged.find("<unique-id>vorrel-quick-look</unique-id>"), std::string::npos);
    EXPECT_NE(merged.find("<image-files/>"), std::string::npos);
    EXPECT_NE(merged.find("<command>'/opt/it'\\''s here/vorrel-quicklook' %F</command>"), std::string::npos);
    EXPECT_NE(test::readFile(accelsPath).find(
                  "(gtk_accel_path \"<Actions>/ThunarActions/uca-action-vorrel-quick-look\" \"space\")"),
              std::string::npos);

    ASSERT_TRUE(spaceBar.turnOff(FileManager::Thunar).ok);
    EXPECT_EQ(test::readFile(ucaPath), uca);
    EXPECT_EQ(test::readFile(accelsPath), accels);
    EXPECT_EQ(spaceBar.status(FileManager::Thunar).state, State::Off);
}

TEST_F(SpaceBarTest, FilesThatWereNotThereAreGoneAgainAfterOff) {
    SpaceBar spaceBar(environment());
    for (const FileManager manager : {FileManager::Thunar, FileManager::Caja}) {
        ASSERT_TRUE(spaceBar.turnOn(manager).ok);
        EXPECT_EQ(spaceBar.status(manager).state, State::On);
        ASSERT_TRUE(spaceBar.turnOff(manager).ok);
    }
    EXPECT_FALSE(fs::exists(home.configHome() / "Thunar/uca.xml"));
    EXPECT_FALSE(fs::exists(home.configHome() / "Thunar/accels.scm"));
    EXPECT_FALSE(fs::exists(home.configHome() / "caja/accels"));
    EXPECT_EQ(test::entries(home.configHome() / "caja/scripts"), std::vector<std::string>{});
}

TEST_F(SpaceBarTest, AnActionListThatCannotBeReadIsLeftAloneWithAMessage) {
    const std::string broken = "<actions><action><name>half written";
    const auto ucaPath = home.write("config/Thunar/uca.xml", broken);
    SpaceBar spaceBar(environment());
    const Outcome outcome = spaceBar.turnOn(FileManager::Thunar);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.message.contains(q(ucaPath))) << outcome.message.toStdString();
    EXPECT_EQ(test::readFile(ucaPath), broken);
    EXPECT_FALSE(fs::exists(home.configHome() / "Thunar/accels.scm"));
}

TEST_F(SpaceBarTest, CajaGetsAnExecutableScriptBoundToSpaceAndKeepsTheUsersKeys) {
    const std::string accels = "(gtk_accel_path \"<Actions>/DirViewActions/Properties\" \"<Alt>Return\")";
    const auto accelsPath = home.write("config/caja/accels", accels);
    const auto userScript = home.write("config/caja/scripts/Mine", "#!/bin/sh\n");
    SpaceBar spaceBar(environment());
    ASSERT_TRUE(spaceBar.turnOn(FileManager::Caja).ok);
    const QFileInfo script(spaceBar.cajaScriptPath());
    EXPECT_TRUE(script.isExecutable());
    EXPECT_NE(test::readFile(script.filePath().toStdString()).find("exec '/opt/it'\\''s here/vorrel-quicklook' \"$@\""),
              std::string::npos);
    EXPECT_NE(test::readFile(accelsPath).find("\\\\sscripts\\\\sQuick%20Look\" \"space\")"), std::string::npos);

    ASSERT_TRUE(spaceBar.turnOff(FileManager::Caja).ok);
    EXPECT_EQ(test::readFile(accelsPath), accels);
    EXPECT_EQ(test::entries(home.configHome() / "caja/scripts"), std::vector<std::string>{"Mine"});
}

TEST_F(SpaceBarTest, AUsersFileOfTheSameNameIsNeverOverwritten) {
    const std::string theirs = "#!/bin/sh\necho mine\n";
    const auto script = home.write("config/caja/scripts/Quick Look", theirs);
    SpaceBar spaceBar(environment());
    EXPECT_FALSE(spaceBar.turnOn(FileManager::Caja).ok);
    EXPECT_FALSE(spaceBar.turnOff(FileManager::Caja).ok);
    EXPECT_EQ(test::readFile(script), theirs);
}

TEST_F(SpaceBarTest, NemoGetsAServiceFileOnlyWhenNoOtherPreviewerHasTheName) {
    struct Case {
        const char* what;
        bool otherServiceFile;
        bool nameTaken;
        State expected;
    } const cases[] = {
        {"nobody has it", false, false, State::Off},
        {"another service file", true, false, State::Unavailable},
        {"an owner on the bus", false, true, State::Unavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto other = home.root() / "system/dbus-1/services/nemo-preview.service";
        if (c.otherServiceFile) home.write("system/dbus-1/services/nemo-preview.service",
                                           "[D-BUS Service]\nName=org.nemo.Preview\nExec=/usr/bin/nemo-preview-start\n");
        busNameTaken = c.nameTaken;
        reloads = 0;
        SpaceBar spaceBar(environment());
        EXPECT_EQ(spaceBar.status(FileManager::Nemo).state, c.expected);
        const Outcome on = spaceBar.turnOn(FileManager::Nemo);
        EXPECT_EQ(on.ok, c.expected == State::Off);
        EXPECT_EQ(QFileInfo::exists(spaceBar.nemoServicePath()), on.ok);
        if (on.ok) {
            busNameTaken = true;  // activatable now, through our own file
            EXPECT_EQ(spaceBar.status(FileManager::Nemo).state, State::On);
            const std::string service = test::readFile(spaceBar.nemoServicePath().toStdString());
            EXPECT_NE(service.find("Name=org.nemo.Preview\n"), std::string::npos);
            EXPECT_NE(service.find("Exec='/opt/it'\\''s here/vorrel-quicklook' --nemo-previewer\n"), std::string::npos);
            EXPECT_TRUE(spaceBar.turnOff(FileManager::Nemo).ok);
            EXPECT_FALSE(QFileInfo::exists(spaceBar.nemoServicePath()));
            EXPECT_EQ(reloads, 2);
        }
        fs::remove(other);
    }
}

TEST_F(SpaceBarTest, GnomeFilesGetsTheViewerOrThePluginThatItsSushiLoads) {
    struct Case {
        const char* what;
        bool sushi;
        const char* resource;  // the previewer's resources hold this name
        bool systemPlugin;
        State before;
        const char* userFile;  // what turnOn writes, under the data home
    } const cases[] = {
        {"no Sushi", false, "", false, State::Unavailable, nullptr},
        {"Sushi 43", true, "js/viewers/evince.js", false, State::Off, "sushi/viewers/vorrel.js"},
        {"Sushi 51, the package's plug-in", true, "plugin-api-1.js", true, State::Builtin, nullptr},
        {"Sushi 51, no system plug-in", true, "plugin-api-1.js", false, State::Off, "sushi/plugins-1/vorrel.js"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(home.root() / "system");
        fs::remove_all(home.root() / "lib");
        fs::remove_all(home.root() / "data");
        if (c.sushi) {
            home.write("system/dbus-1/services/org.gnome.NautilusPreviewer.service", "[D-BUS Service]\n");
            home.write("system/sushi/org.gnome.NautilusPreviewer.src.gresource",
                       std::string("GVariant\0\0", 10) + c.resource + std::string("\0\0", 2));
        }
        if (c.systemPlugin) home.write("lib/sushi/plugins-1/vorrel.js", "// the package's\n");
        SpaceBar spaceBar(environment());
        EXPECT_EQ(spaceBar.status(FileManager::Files).state, c.before);
        const Outcome on = spaceBar.turnOn(FileManager::Files);
        EXPECT_EQ(on.ok, c.before != State::Unavailable) << on.message.toStdString();
        if (!c.userFile) continue;
        EXPECT_EQ(spaceBar.status(FileManager::Files).state, State::On);
        const std::string script = test::readFile(home.root() / "data" / c.userFile);
        EXPECT_NE(script.find("const QUICKLOOK = '/opt/it\\'s here/vorrel-quicklook';"), std::string::npos);
        EXPECT_TRUE(spaceBar.turnOff(FileManager::Files).ok);
        EXPECT_FALSE(fs::exists(home.root() / "data" / c.userFile));
        EXPECT_EQ(test::entries(home.root() / "data"), std::vector<std::string>{});
        EXPECT_EQ(spaceBar.status(FileManager::Files).state, State::Off);
    }
}

TEST_F(SpaceBarTest, TheCommandPrintsOneLinePerFileManagerFound) {
    SpaceBar spaceBar(environment({"thunar", "caja"}));
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    EXPECT_EQ(runSpaceBarCommand(QStringLiteral("on"), spaceBar, out, stderr), 0);
    EXPECT_EQ(runSpaceBarCommand(QStringLiteral("status"), spaceBar, out, stderr), 0);
    std::fclose(out);
    const QStringList lines = QString::fromUtf8(text, qsizetype(size)).split('\n', Qt::SkipEmptyParts);
    std::free(text);
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Thunar: on — "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Caja: on — ")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Caja: on — ")));
    EXPECT_EQ(runSpaceBarCommand(QStringLiteral("maybe"), spaceBar, stdout, stderr), 2);
}

}  // namespace
}  // namespace vorrel::spacebar
