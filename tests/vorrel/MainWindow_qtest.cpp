// The host window as the user meets it: tabs and shortcuts, menus, the two shared
// switches (read back by a second process), the diagnostics commands against a fake file
// manager on a private session bus, the update command, the set-up link, and quitting.
// Runs offscreen under dbus-run-session. With "--read-shared-key NAME" or
// "--content-size" the binary is instead the second process the tests start.
#include <iostream>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include "FakeFileManager.h"
#include "support/LoopbackHttpServer.h"
#include "platform/SystemVersion.h"
#include "platform/desktop/DefaultApplications.h"
#include "platform/AppGroup.h"
#include "cache/PreviewFiles.h"
#include "settings/SharedSettings.h"
#include "support/TempHome.h"
#include "vorrel/AboutView.h"
#include "vorrel/AppLanguage.h"
#include "vorrel/CheckUpdatesButton.h"
#include "vorrel/ContentView.h"
#include "vorrel/DefaultApplication.h"
#include "vorrel/HomeView.h"
#include "vorrel/MainWindow.h"
#include "vorrel/SettingsView.h"
#include "vorrel/Translations.h"
#include "vorrel/UpdaterDialogs.h"
#include "vorrel/VorrelApp.h"
#include "widgets/AppVersionUpdaterView.h"
#include "widgets/UrlOpener.h"

using namespace vorrel;
using platform::Value;

namespace {

class SilentDriver : public platform::UserDriver {
public:
    int shown = 0;
    void showUpToDate(const QString&) override { ++shown; }
    void showUpdateFound(const platform::AppcastItem&, const QString&) override { ++shown; }
    void showUpdateError(const QString&, const QString&) override { ++shown; }
};

// The visible entries of a menu, separators as "—".
QStringList entries(const QMenu* menu) {
    QStringList result;
    for (const QAction* action : menu->actions()) {
        if (action->isVisible()) result << (action->isSeparator() ? QStringLiteral("—") : action->text());
    }
    return result;
}

// Runs this binary again as a separate process and returns what it prints.
QString secondProcess(const QStringList& arguments, const QStringList& extraEnvironment = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : extraEnvironment) {
        const auto at = entry.indexOf(u'=');
        environment.insert(entry.left(at), entry.mid(at + 1));
    }
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationFilePath(), arguments);
    if (!process.waitForFinished(60000)) return QStringLiteral("(no answer)");
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempHome> home_;
    std::unique_ptr<VorrelApp> app_;
    SilentDriver* driver_ = nullptr;
    MainWindow* window_ = nullptr;

    void launch() {
        auto driver = std::make_unique<SilentDriver>();
        driver_ = driver.get();
        app_ = std::make_unique<VorrelApp>(std::move(driver));
        window_ = app_->showWindow();
    }

private slots:
    void init() {
        home_ = std::make_unique<test::TempHome>();
        // Desktop entries only from this test's folders, whatever the machine has installed.
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString((home_->root() / "data-dirs").string()));
        launch();
    }
    void cleanup() {
        app_.reset();
        qunsetenv("XDG_DATA_DIRS");
        home_.reset();
        platform::SystemVersion::setForTesting(std::nullopt);
    }

    void shortcutsSwitchTabsAndTheTabBarFollows() {
        QCOMPARE(app_->selectedPane().pane(), SidebarPane::Home);
        QVERIFY(app_->updaterController().updater().isStarted());
        ContentView* tabs = window_->contentView();
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE((QStringList{tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
                 (QStringList{"Home", "Settings", "About"}));
        QApplication::setActiveWindow(window_);
        QVERIFY(QTest::qWaitForWindowActive(window_));

        const std::pair<Qt::Key, SidebarPane> presses[] = {
            {Qt::Key_2, SidebarPane::Settings}, {Qt::Key_3, SidebarPane::About}, {Qt::Key_1, SidebarPane::Home}};
        for (const auto& [key, pane] : presses) {
            QTest::keyClick(window_, key, Qt::ControlModifier);
            QCOMPARE(app_->selectedPane().pane(), pane);
            QCOMPARE(tabs->currentIndex(), vorrel::indexOf(pane));
            QCOMPARE(tabs->tabBar()->currentIndex(), vorrel::indexOf(pane));
        }
        // Ctrl+4 is nobody's.
        QTest::keyClick(window_, Qt::Key_4, Qt::ControlModifier);
        QCOMPARE(app_->selectedPane().pane(), SidebarPane::Home);
        // The other way round: clicking a tab moves the shared selection.
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(2).center());
        QCOMPARE(app_->selectedPane().pane(), SidebarPane::About);
    }

    // Tab on Home lands only where something can be done: no label without a link.
    void tabSkipsLabelsThatCannotAct() {
        QApplication::setActiveWindow(window_);
        QVERIFY(QTest::qWaitForWindowActive(window_));
        QStringList stops;
        for (int press = 0; press < 12; ++press) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window_, Qt::Key_Tab);
            if (auto* label = qobject_cast<QLabel*>(QApplication::focusWidget())) {
                stops << label->text();
                QVERIFY2(label->text().contains(QStringLiteral("](")), qPrintable(label->text()));
            }
        }
        QLabel* setup = window_->contentView()->homeView()->stepLabels().first();
        QVERIFY2(stops.contains(setup->text()), "the set-up link is a Tab stop");
        // Reached by Tab, the whole step is framed, not only its link (which starts mid-line):
        // the left edge, blank without focus, is drawn.
        while (QApplication::focusWidget() != setup) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const auto leftEdge = [setup] {
            const QImage image = setup->grab().toImage();
            QList<QRgb> column;
            for (int y = 0; y < image.height(); ++y) column << image.pixel(0, y);
            return column;
        };
        const QList<QRgb> focused = leftEdge();
        setup->clearFocus();
        QVERIFY(focused != leftEdge());
    }

    void sidebarPaneRawValues_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("pane");  // -1: no pane
        QTest::newRow("Home") << "Home" << int(SidebarPane::Home);
        QTest::newRow("Settings") << "Settings" << int(SidebarPane::Settings);
        QTest::newRow("About") << "About" << int(SidebarPane::About);
        QTest::newRow("lower case") << "home" << -1;
        QTest::newRow("trailing space") << "About " << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("translated title") << "Einstellungen" << -1;
    }
    void sidebarPaneRawValues() {
        QFETCH(QString, raw);
        QFETCH(int, pane);
        const auto found = sidebarPaneFromRawValue(raw.toStdString());
        QCOMPARE(found ? int(*found) : -1, pane);
        if (found) QCOMPARE(QString::fromUtf8(rawValue(*found).data()), raw);
    }

    void fileAndViewMenus() {
        const QString about = window_->fileMenu()->actions().first()->text();
        QVERIFY(about.startsWith("About"));
        QCOMPARE(entries(window_->fileMenu()), (QStringList{about, "Check for Updates…", "—", "&Quit"}));
        for (const QAction* action : window_->fileMenu()->actions())
            QVERIFY(action->shortcut() != QKeySequence(QKeySequence::New));
        QCOMPARE(entries(window_->viewMenu()), (QStringList{"Home", "Settings", "About", "—"}));
        QStringList shortcuts;
        for (const QAction* action : window_->viewMenu()->actions())
            if (!action->isSeparator()) shortcuts << action->shortcut().toString(QKeySequence::PortableText);
        QCOMPARE(shortcuts, (QStringList{"Ctrl+1", "Ctrl+2", "Ctrl+3"}));
    }

    void helpMenuFollowsLogToFile() {
        const QStringList off{"MIME Type Finder", "Log to File", "—", "More Apps By Us", "Contact Us", "—",
                              "Privacy Policy", "Terms of Service"};
        QStringList on = off;
        on.insert(2, "Show Log File in File Manager");
        on.insert(3, "Reveal Preview Files Folder");
        QCOMPARE(entries(window_->helpMenu()), off);
        QVERIFY(!window_->logToFileAction()->isChecked());
        QCOMPARE(secondProcess({"--read-shared-key", "logToFile"}), "false");

        window_->logToFileAction()->trigger();
        QCOMPARE(entries(window_->helpMenu()), on);
        QCOMPARE(secondProcess({"--read-shared-key", "logToFile"}), "true");

        // A write made elsewhere in the process is followed as well.
        Prefs::set(logToFile(), false);
        QCOMPARE(entries(window_->helpMenu()), off);
        QVERIFY(!window_->logToFileAction()->isChecked());
        QCOMPARE(secondProcess({"--read-shared-key", "logToFile"}), "false");
    }

    void transparentBackgroundSwitch() {
        QCheckBox* toggle = window_->contentView()->settingsView()->transparentBackgroundSwitch();
        QCOMPARE(toggle->text(), "Transparent Background");
        QVERIFY(!toggle->isChecked());
        window_->contentView()->setCurrentIndex(1);
        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(8, toggle->height() / 2));
        QVERIFY(toggle->isChecked());
        QCOMPARE(secondProcess({"--read-shared-key", "transparentBackground"}), "true");

        transparentBackground().reset();
        QVERIFY(!toggle->isChecked());
        QCOMPARE(secondProcess({"--read-shared-key", "transparentBackground"}), "false");
        Prefs::set(transparentBackground(), true);
        QVERIFY(toggle->isChecked());
    }

    void contentSizePerLanguage_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("en") << "en" << 500 << 410;
        QTest::newRow("it, not in the table") << "it" << 500 << 410;
        QTest::newRow("no code") << "" << 500 << 410;
        QTest::newRow("de") << "de" << 600 << 410;
        QTest::newRow("fr") << "fr" << 575 << 420;
        QTest::newRow("es") << "es" << 540 << 440;
    }
    void contentSizePerLanguage() {
        QFETCH(QString, code);
        QFETCH(int, width);
        QFETCH(int, height);
        const WindowSize row = windowSizeTable[std::size_t(appLanguageFor(code))];
        platform::SystemVersion::setForTesting(platform::OperatingSystemVersion{15, 0, 0});
        QCOMPARE(contentSize(row), QSize(width, height));
        platform::SystemVersion::setForTesting(platform::OperatingSystemVersion{14, 6, 0});
        QCOMPARE(contentSize(row), QSize(width, height + 30));
        QCOMPARE(paneSideInset(), 14);
    }

    void contentSizeIsFixedPerProcessLanguage() {
        // The process reads its language once, from the environment's locale.
        QCOMPARE(secondProcess({"--content-size"}, {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"}), "600x410");
        QCOMPARE(secondProcess({"--content-size"}, {"LC_ALL=it_IT.UTF-8", "LANG=it_IT.UTF-8"}), "500x410");
        QCOMPARE(secondProcess({"--content-size"}, {"LC_ALL=C", "LANG=C"}), "500x410");
        // And this window opens at least at the size of this process's row.
        const QSize row = contentSize(windowSizeTable[std::size_t(appLanguage())]);
        QCOMPARE(window_->contentView()->sizeHint().expandedTo(row), window_->contentView()->sizeHint());
    }

    void diagnosticsRevealInTheFileManager() {
        test::FakeFileManager fake;
        QVERIFY(fake.registerOnBus());
        Prefs::set(logToFile(), true);
        window_->showLogFileAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(fake.calls.size(), 1, 15000);
        QCOMPARE(QUrl(fake.calls[0].value(0)).toLocalFile().toStdString(), logFileURL()->string());
        window_->revealPreviewFilesAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(fake.calls.size(), 2, 15000);
        QCOMPARE(QUrl(fake.calls[1].value(0)).toLocalFile().toStdString(),
                 groupContainerURL()->string() + "/tmp");

        // Without a group container both commands do nothing. The bus keeps messages in
        // order, so had they sent anything it would arrive before the next call.
        const QByteArray cache = qgetenv("XDG_CACHE_HOME");
        const auto blocker = home_->write("not-a-folder", "x");
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((blocker / "cache").string()));
        QVERIFY(!groupContainerURL());
        window_->showLogFileAction()->trigger();
        window_->revealPreviewFilesAction()->trigger();
        qputenv("XDG_CACHE_HOME", cache);
        window_->showLogFileAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(fake.calls.size(), 3, 15000);
        QCOMPARE(QUrl(fake.calls[2].value(0)).toLocalFile().toStdString(), logFileURL()->string());
    }

    void diagnosticsFallBackWithoutAFileManager() {
        test::FakeOpener opened;
        Prefs::set(logToFile(), true);
        window_->showLogFileAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(opened.urls().size(), 1, 15000);
        QCOMPARE(opened.urls()[0].toLocalFile().toStdString(), groupContainerURL()->string() + "/");
    }

    // No file manager, and no opener or one that starts and then fails: a message says so
    // and gives the path to copy; so does a web link with nothing to open it.
    void nothingToShowItSaysSoWithThePath_data() {
        QTest::addColumn<bool>("openerRuns");
        QTest::newRow("no opener") << false;
        QTest::newRow("opener exits 3") << true;
    }
    void nothingToShowItSaysSoWithThePath() {
        QFETCH(bool, openerRuns);
        test::FakeOpener opener(3, openerRuns ? test::FakeOpener::Kind::Script : test::FakeOpener::Kind::None);
        Prefs::set(logToFile(), true);
        window_->showLogFileAction()->trigger();
        QMessageBox* box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((box = window_->findChild<QMessageBox*>("cannotReveal")) && box->isVisible(), 15000);
        QCOMPARE(box->text(), "No file manager could show the log file.");
        QVERIFY2(box->informativeText().contains(QString::fromStdString(logFileURL()->string()).toHtmlEscaped()),
                 qPrintable(box->informativeText()));
        box->close();

        const QUrl address("https://example.com/privacy?a=1&b=2");
        QVERIFY(zodadavovov::openUrl(address));
        QMessageBox* link = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((link = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())), 15000);
        QCOMPARE(link->objectName(), "cannotOpenUrl");
        QVERIFY2(link->informativeText().contains("https://example.com/privacy?a=1&amp;b=2"),
                 qPrintable(link->informativeText()));
        link->close();
        if (openerRuns) QCOMPARE(opener.urls().size(), 2);
    }

    void checkForUpdatesFollowsTheUpdater() {
        // A feed that never answers keeps the check running.
        test::LoopbackHttpServer server;
        server.route("/silent", {200, {}, true});
        app_.reset();
        platform::Dictionary info = test::testInfoDictionary();
        info["SUFeedURL"] = Value{server.url("/silent").toStdString()};
        platform::Bundle::setMain(platform::Bundle(info));
        launch();
        platform::Updater& updater = app_->updaterController().updater();
        updater.setTimeout(std::chrono::milliseconds(400));
        CheckUpdatesButton* item = window_->checkUpdatesAction();
        QVERIFY(item->isEnabled());

        QSignalSpy finished(&updater, &platform::Updater::finished);
        item->trigger();
        QVERIFY(!item->isEnabled());
        // A view model made during the check reports the current false at once.
        CheckForUpdatesViewModel during(updater);
        QVERIFY(!during.canCheckForUpdates());
        QVERIFY(finished.wait(15000));
        QVERIFY(item->isEnabled());
        QVERIFY(during.canCheckForUpdates());
        QCOMPARE(driver_->shown, 1);  // the user asked, so the failure is shown
        CheckForUpdatesViewModel after(updater);
        QVERIFY(after.canCheckForUpdates());
    }

    void aboutPaneWritesTheAutomaticCheckThrough() {
        platform::Updater& updater = app_->updaterController().updater();
        QVERIFY(!updater.automaticallyChecksForUpdates());
        auto* version = window_->contentView()->aboutView()->versionView();
        QVERIFY(!version->automaticCheckBox()->isChecked());
        version->automaticCheckBox()->click();
        QVERIFY(updater.automaticallyChecksForUpdates());
        QCOMPARE(platform::Suite::standard()->objectForKey(platform::Updater::kAutomaticChecksKey), Value{true});
        // A change made elsewhere shows only in a pane made afterwards.
        updater.setAutomaticallyChecksForUpdates(false);
        QVERIFY(version->automaticCheckBox()->isChecked());
        AboutView fresh(app_->updaterController());
        QVERIFY(!fresh.versionView()->automaticCheckBox()->isChecked());
    }

    void homeTextsAreTrueOnLinux_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    }
    void homeTextsAreTrueOnLinux() {
        QFETCH(QLocale, locale);
        installTranslations(locale);
        HomeView home;
        installTranslations(QLocale(QLocale::English));
        QStringList texts;
        for (const QLabel* label : home.findChildren<QLabel*>())
            if (!label->text().isEmpty() && label != home.spaceBarLinkLabel()) texts << label->text();
        const QString all = texts.join('\n');
        // Keys, places and set-ups of another desktop.
        for (const char* foreign : {"⌘", "Ctrl + Y", "Strg + Y", "spacebar", "Finder", "System Settings",
                                    "Systemeinstellungen", "Login Items", "Anmeldeobjekte", "info button",
                                    "Info-Taste", "x-apple"})
            QVERIFY2(!all.contains(QString::fromUtf8(foreign), Qt::CaseInsensitive), foreign);
        // The space bar closes the quick look; no sentence may say it opens one (the link to
        // setting Space up in the file managers aside).
        const QRegularExpression sentenceEnd(QStringLiteral("[.;]\\s"));
        for (const QString& sentence : all.split(sentenceEnd)) {
            if (sentence.contains(QStringLiteral("Space"), Qt::CaseInsensitive) ||
                sentence.contains(QStringLiteral("Leertaste"))) {
                QVERIFY2(sentence.contains(QStringLiteral("close")) || sentence.contains(QStringLiteral("schließt")),
                         qPrintable(sentence));
            }
        }
        // What really works: Open With, the default application, the arrows, thumbnails; the
        // files served, as the desktop entries list them.
        const bool german = locale.language() == QLocale::German;
        for (const char* needed : {german ? "Öffnen mit → Vorrel Quick Look" : "Open With → Vorrel Quick Look",
                                   german ? "Standardanwendung für diese Dateien" : "default application for these files",
                                   ".eps, .epsi, .epsf, .ps", ".gz", ".bz2",
                                   german ? "Esc" : "Escape", german ? "Pfeiltasten" : "arrow keys",
                                   german ? "Vorschaubilder" : "thumbnails", "PostScript",
                                   german ? "Transparenter Hintergrund" : "Transparent Background"})
            QVERIFY2(all.contains(QString::fromUtf8(needed)), needed);
        QCOMPARE(home.stepLabels().size(), 4);
        QVERIFY(home.stepLabels().first()->text().contains(HomeView::setupLink));
    }

    void setupLinkShowsItsOutcome_data() {
        QTest::addColumn<bool>("entryInstalled");
        // The fake xdg-mime's answer to `default` and to `query filetype`; empty: none on PATH.
        // It answers `query default` with what a `default` that wrote recorded.
        QTest::addColumn<QString>("setDefault");
        QTest::addColumn<QString>("fileType");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("toolRuns");
        const QString writes = "printf '%s\\n' \"$@\" > \"$dir/arguments\"; cp \"$dir/arguments\" \"$dir/written\"\n";
        const QString records = "printf '%s\\n' \"$@\" > \"$dir/arguments\"\n";
        const QString byName = "case \"$3\" in *.eps) echo 'image/x-eps';; *) echo 'application/postscript';; esac";
        const QString notMade = "Vorrel Quick Look could not be made the default application for EPS files.";
        QTest::newRow("xdg-mime succeeds")
            << true << writes + "exit 0" << byName << true << "Vorrel Quick Look now opens EPS files." << "" << true;
        QTest::newRow("session calls EPS files application/postscript")
            << true << writes + "exit 0" << "echo 'application/postscript; charset=us-ascii'" << true
            << "Vorrel Quick Look now opens EPS files." << "" << true;
        QTest::newRow("xdg-mime exits 0 without writing")
            << true << records + "exit 0" << byName << false << notMade
            << "“xdg-mime” reported success, but the desktop still names another application for image/x-eps, "
               "application/postscript"
            << true;
        QTest::newRow("session calls EPS files text/plain")
            << true << writes + "exit 0" << "echo text/plain" << false
            << "EPS files may still open in another application."
            << "This session classifies EPS files as “text/plain”, a type Vorrel Quick Look does not open. In File "
               "Manager, choose “Open With → Vorrel Quick Look”"
            << true;
        QTest::newRow("xdg-mime fails")
            << true << records + "echo 'xdg-mime: no permission to write mimeapps.list <here>' >&2\nexit 4" << byName
            << false << notMade << "“xdg-mime” failed: xdg-mime: no permission to write mimeapps.list <here>" << true;
        QTest::newRow("xdg-mime fails silently") << true << records + "exit 4" << byName << false << notMade
                                                 << "“xdg-mime” could not change the list of default applications."
                                                 << true;
        QTest::newRow("xdg-mime hangs") << true << records + "exec sleep 600" << byName << false << notMade
                                        << "“xdg-mime” gave no answer in time." << true;
        QTest::newRow("no xdg-mime") << true << "" << "" << false << notMade
                                     << "The program “xdg-mime” was not found." << false;
        QTest::newRow("desktop entry not installed")
            << false << writes + "exit 0" << byName << false << notMade
            << "Its desktop entry “vorrel-quicklook.desktop” is not installed" << false;
    }
    void setupLinkShowsItsOutcome() {
        QFETCH(bool, entryInstalled);
        QFETCH(QString, setDefault);
        QFETCH(QString, fileType);
        QFETCH(bool, ok);
        QFETCH(QString, headline);
        QFETCH(QString, reason);
        QFETCH(bool, toolRuns);
        if (entryInstalled) home_->write("data/applications/vorrel-quicklook.desktop", "[Desktop Entry]\n");
        const auto bin = home_->root() / "bin";
        std::filesystem::create_directories(bin);
        if (!setDefault.isEmpty()) {
            const QString fake = "#!/bin/sh\ndir=$(dirname \"$0\")\ncase \"$1 $2\" in\n"
                                 "'query default') [ -f \"$dir/written\" ] && sed -n 2p \"$dir/written\"; exit 0;;\n"
                                 "'query filetype') " + fileType + "; exit 0;;\n"
                                 "esac\n" + setDefault + "\n";
            const auto path = home_->write("bin/xdg-mime", fake.toStdString());
            std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(bin.string()) + (setDefault.isEmpty() ? QByteArray() : ":" + path));
        platform::DefaultApplications::setTimeout(std::chrono::milliseconds(500));
        auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            platform::DefaultApplications::setTimeout(std::chrono::seconds(30));
        });

        HomeView* homeView = window_->contentView()->homeView();
        QSignalSpy finished(homeView, &HomeView::setupFinished);
        emit homeView->stepLabels().first()->linkActivated(HomeView::setupLink);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().first().toBool(), ok);

        QMessageBox* message = homeView->setupMessage();
        QVERIFY(message && message->isVisible());
        QCOMPARE(message->icon(), ok ? QMessageBox::Information : QMessageBox::Warning);
        QCOMPARE(message->text(), headline);
        // The reason is shown as it stands, never as markup.
        QVERIFY2(message->informativeText().contains(reason.toHtmlEscaped()), qPrintable(message->informativeText()));
        QCOMPARE(message->informativeText().isEmpty(), ok);
        const std::string arguments = test::readFile(home_->root() / "bin" / "arguments");
        QCOMPARE(QString::fromStdString(arguments),
                 toolRuns ? QString("default\nvorrel-quicklook.desktop\nimage/x-eps\napplication/postscript\n"
                                    "application/x-gzpostscript\napplication/x-bzpostscript\nimage/x-gzeps\n"
                                    "image/x-bzeps\n")
                          : QString());
        message->close();
    }

    void setupLinkWithTheRealXdgMime() {
        home_->write("data/applications/vorrel-quicklook.desktop",
                     "[Desktop Entry]\nType=Application\nName=Vorrel Quick Look\nExec=true %F\n");
        HomeView* homeView = window_->contentView()->homeView();
        QSignalSpy finished(homeView, &HomeView::setupFinished);
        emit homeView->stepLabels().first()->linkActivated(HomeView::setupLink);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().first().toBool(), true);
        const std::string list = test::readFile(home_->configHome() / "mimeapps.list");
        for (const char* type : {"image/x-eps", "application/postscript", "image/x-bzeps"})
            QVERIFY2(list.find(std::string(type) + "=vorrel-quicklook.desktop") != std::string::npos, list.c_str());
    }

    void windowIsCentredOnItsScreen() {
        const QRect screen = window_->screen()->availableGeometry();
        const QPoint offset = window_->frameGeometry().center() - screen.center();
        QVERIFY2(std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1,
                 qPrintable(QStringLiteral("%1,%2 off the centre").arg(offset.x()).arg(offset.y())));
        QVERIFY(window_->frameGeometry().topLeft() != screen.topLeft());
    }

    void updaterDialogsShowFeedTextsSafely() {
        UpdaterDialogs dialogs;
        platform::AppcastItem item{"<b>Vorrel</b>", "1.3", QUrl("https://example.org/a?x=1&y=\"2\""),
                                   QUrl("https://example.org/notes")};
        dialogs.showUpdateFound(item, "1.2");
        QPointer<QMessageBox> box = dialogs.currentDialog();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->textFormat(), Qt::RichText);
        QVERIFY(box->text().contains("1.3"));
        QVERIFY(box->text().contains("href=\"https://example.org/a?x=1&amp;y=%222%22\""));
        QVERIFY(box->text().contains("href=\"https://example.org/notes\""));

        // A reason and its details are shown as they stand, never as markup; the new dialog
        // replaces the old.
        dialogs.showUpdateError("The update server “<b>x</b>” could not be reached.", "server said <img src=x>.");
        QVERIFY(!box);
        QCOMPARE(dialogs.currentDialog()->textFormat(), Qt::PlainText);
        QCOMPARE(dialogs.currentDialog()->text(),
                 "The check for updates failed.\nThe update server “<b>x</b>” could not be reached.");
        QVERIFY(dialogs.currentDialog()->informativeText().contains("Technical details: server said &lt;img src=x&gt;."));
    }

    void germanCatalogue() {
        QVERIFY(installTranslations(QLocale(QLocale::German, QLocale::Germany)));
        QCOMPARE(title(SidebarPane::Settings), "Einstellungen");
        SettingsView german;
        QCOMPARE(german.transparentBackgroundSwitch()->text(), "Transparenter Hintergrund");
        // On a kernel without Landlock, the pane says so, in one line.
        platform::Sandbox::Support withoutLandlock;
        withoutLandlock.seccomp = true;
        const SettingsView lacking(nullptr, withoutLandlock);
        QVERIFY(lacking.protectionNote());
        QCOMPARE(lacking.protectionNote()->text(),
                 "Landlock fehlt auf diesem System, daher kann Ghostscript Ihre Dateien lesen und "
                 "alle ändern, die Sie ändern dürfen.");
        platform::Sandbox::Support everything;
        everything.landlockAbi = 2;
        everything.seccomp = true;
        QVERIFY(!SettingsView(nullptr, everything).protectionNote());
        // Qt's own texts follow: shortcut names as the menus draw them, the standard dialogs.
        QStringList shortcuts;
        for (const QAction* action : window_->viewMenu()->actions())
            if (!action->isSeparator()) shortcuts << action->shortcut().toString(QKeySequence::NativeText);
        QCOMPARE(shortcuts, (QStringList{"Strg+1", "Strg+2", "Strg+3"}));
        QCOMPARE(window_->fileMenu()->actions().last()->shortcut().toString(QKeySequence::NativeText), "Strg+Q");
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(buttons->button(QDialogButtonBox::Open)->text(), "&Öffnen");
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), "Abbrechen");
        QMessageBox box(QMessageBox::Warning, "", "", QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), "Abbrechen");
        // The set-up's outcome too (no desktop entry here, so it fails at once).
        std::optional<DefaultApplication::Result> setup;
        DefaultApplication::makeQuickLookDefaultForEps(this, [&](const DefaultApplication::Result& r) { setup = r; });
        QTRY_VERIFY(setup);
        QCOMPARE(setup->headline, "Vorrel Quick Look konnte nicht zur Standardanwendung für EPS-Dateien gemacht werden.");
        QVERIFY(setup->reason.startsWith("Sein Desktop-Eintrag „vorrel-quicklook.desktop“ ist nicht installiert"));
        QVERIFY(!installTranslations(QLocale(QLocale::Italian)));  // none: English again
        QCOMPARE(title(SidebarPane::Settings), "Settings");
    }

    void closingTheWindowQuits() {
        QVERIFY(app_->appDelegate().window() == window_);
        QVERIFY(window_->minimumSize() != window_->maximumSize());  // resizable
        QVERIFY(!(window_->windowFlags() & Qt::WindowMaximizeButtonHint));
        QTimer::singleShot(0, window_, &QWidget::close);
        // Fail-safe only: a window that does not quit would otherwise hang the test.
        QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

int main(int argc, char* argv[]) {
    if (argc == 3 && std::string_view(argv[1]) == "--read-shared-key") {
        platform::Bundle::setMain(platform::Bundle(test::testInfoDictionary()));
        const std::string_view name = argv[2];
        const bool value = name == "logToFile" ? Prefs::get(logToFile()) : Prefs::get(transparentBackground());
        std::cout << (value ? "true" : "false") << std::endl;
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--content-size") {
        QCoreApplication app(argc, argv);
        const QSize size = contentSize(windowSizeTable[std::size_t(appLanguage())]);
        std::cout << size.width() << "x" << size.height() << std::endl;
        return 0;
    }
    QApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindow_qtest.moc"
