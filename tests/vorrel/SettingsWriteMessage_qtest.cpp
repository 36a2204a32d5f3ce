// The window when a setting cannot be saved (its settings file is read-only): the
// switches show what is stored, and a message in the window names the file and the error.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QTest>

#include "settings/Suite.h"
#include "settings/SharedSettings.h"
#include "support/TempHome.h"
#include "vorrel/ContentView.h"
#include "vorrel/MainWindow.h"
#include "vorrel/SettingsView.h"
#include "vorrel/SettingsWriteMessage.h"
#include "vorrel/Translations.h"
#include "vorrel/VorrelApp.h"

using namespace vorrel;
namespace fs = std::filesystem;

namespace {

class SilentDriver : public platform::UserDriver {
public:
    void showUpToDate(const QString&) override {}
    void showUpdateFound(const platform::AppcastItem&, const QString&) override {}
    void showUpdateError(const QString&, const QString&) override {}
};

}  // namespace

class SettingsWriteMessageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempHome> home_;
    std::unique_ptr<VorrelApp> app_;
    MainWindow* window_ = nullptr;

    SettingsWriteMessage* message() const { return window_->findChild<SettingsWriteMessage*>(); }

private slots:
    void init() {
        home_ = std::make_unique<test::TempHome>();
        app_ = std::make_unique<VorrelApp>(std::make_unique<SilentDriver>());
        window_ = app_->showWindow();
    }
    void cleanup() {
        app_.reset();
        home_.reset();
    }

    void refusedWritesLeaveTheSwitchesOffAndSayWhy() {
        QVERIFY(!sharedSuite()->setObject(platform::Value("kept"), "other"));
        const fs::path file = sharedSuite()->filePath();
        fs::permissions(file, fs::perms::owner_read);
        QVERIFY(message() && !message()->isVisible());

        QCheckBox* toggle = window_->contentView()->settingsView()->transparentBackgroundSwitch();
        window_->contentView()->setCurrentIndex(1);
        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(8, toggle->height() / 2));
        QVERIFY(!toggle->isChecked());
        QVERIFY(message()->isVisible());
        const QString expected = QString("The setting could not be saved in “%1”: Permission denied")
                                     .arg(QString::fromStdString(file.string()));
        QCOMPARE(message()->text(), expected);
        QVERIFY(message()->geometry().bottom() < window_->height());
        if (const char* keep = std::getenv("VORREL_SCREENSHOT_DIR"))
            window_->grab().save(QString("%1/vorrel-settings-not-saved.png").arg(keep));

        message()->hide();
        window_->logToFileAction()->trigger();
        QVERIFY(!window_->logToFileAction()->isChecked());
        QVERIFY(!window_->showLogFileAction()->isVisible());
        QVERIFY(message()->isVisible());
        QCOMPARE(message()->text(), expected);
        QCOMPARE(Prefs::get(logToFile()), false);

        // Writable again: the next click is stored, and the message goes.
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        window_->logToFileAction()->trigger();
        QVERIFY(window_->logToFileAction()->isChecked());
        QVERIFY(window_->showLogFileAction()->isVisible());
        QVERIFY(!message()->isVisible());
    }

    // A settings file that cannot be read (here a FIFO, which once hung the start) is named
    // in the window at start, with what is wrong, and the window comes up.
    void anUnreadableSettingsFileIsNamedAtStart() {
        app_.reset();
        const fs::path file = sharedSuite()->filePath();
        fs::create_directories(file.parent_path());
        QCOMPARE(::mkfifo(file.c_str(), 0600), 0);
        app_ = std::make_unique<VorrelApp>(std::make_unique<SilentDriver>());
        window_ = app_->showWindow();
        QVERIFY(message()->isVisible());
        QCOMPARE(message()->text(),
                 QString("The settings file “%1” could not be read: it is not a regular file. The "
                         "defaults are in use for what could not be read.")
                     .arg(QString::fromStdString(file.string())));
        if (const char* keep = std::getenv("VORREL_SCREENSHOT_DIR"))
            window_->grab().save(QString("%1/vorrel-settings-not-read.png").arg(keep));
    }

    void germanText() {
        QVERIFY(installTranslations(QLocale(QLocale::German, QLocale::Germany)));
        SettingsWriteMessage german(window_);
        german.showFailure("/home/u/.config/vorrel/s.json", "Permission denied");
        QCOMPARE(german.text(),
                 "Die Einstellung konnte nicht in „/home/u/.config/vorrel/s.json“ gespeichert werden: Permission denied");
        german.showFailure("", "no home");
        QCOMPARE(german.text(), "Die Einstellung konnte nicht gespeichert werden: no home");
        QVERIFY(!installTranslations(QLocale(QLocale::Italian)));
    }
};

QTEST_MAIN(SettingsWriteMessageTest)
#include "SettingsWriteMessage_qtest.moc"
