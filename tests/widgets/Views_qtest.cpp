// Branding, icon, version and help views: application information fallbacks shown in real
// widgets, the update switch binding, default buttons, links, Help menu items, icons.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include <filesystem>

#include "support/TempHome.h"
#include "widgets/AppBrandingView.h"
#include "widgets/AppIconView.h"
#include "widgets/AppVersionUpdaterView.h"
#include "widgets/AppVersionView.h"
#include "widgets/HelpMenu.h"
#include "widgets/MakerLinks.h"
#include "widgets/OrderedListItem.h"
#include "widgets/PlainSection.h"
#include "widgets/QuickLookHelpButton.h"
#include "widgets/SharedLocalizedStrings.h"
#include "widgets/SymbolIcon.h"
#include "widgets/UTIFinder.h"
#include "widgets/UTIFinderView.h"
#include "widgets/UrlOpener.h"

using namespace vorrel;
using namespace vorrel::zodadavovov;
using platform::Dictionary;
using platform::Value;

Q_DECLARE_METATYPE(Dictionary)

namespace {

const QString warning = QString::fromUtf8("\u26A0\uFE0F");

// Captures addresses instead of opening them, for as long as it lives.
struct CapturedUrls {
    QList<QUrl> urls;
    UrlOpener previous;
    CapturedUrls() {
        previous = setUrlOpener([this](const QUrl& url) {
            urls.append(url);
            return true;
        });
    }
    ~CapturedUrls() { setUrlOpener(previous); }
};

// The first link target of a Markdown text, as a reader would see it rendered.
QString firstLink(const QString& markdown) {
    QTextDocument document;
    document.setMarkdown(markdown);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor()) return it.fragment().charFormat().anchorHref();
    return {};
}

}  // namespace

class ViewsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void applicationInformationInViews_data() {
        QTest::addColumn<Dictionary>("info");
        QTest::addColumn<QString>("bundlePath");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("versionLine");
        const Dictionary full{{"CFBundleDisplayName", Value{"Vorrel Pro"}},
                              {"CFBundleName", Value{"Vorrel"}},
                              {"CFBundleShortVersionString", Value{"1.2"}},
                              {"CFBundleVersion", Value{"34"}}};
        auto without = [&full](std::initializer_list<const char*> keys) {
            Dictionary info = full;
            for (const char* key : keys) info.erase(key);
            return info;
        };
        auto with = [&full](const char* key, Value value) {
            Dictionary info = full;
            info[key] = std::move(value);
            return info;
        };
        QTest::newRow("all present") << full << "/opt/vorrel/bin" << "Vorrel Pro" << "Version 1.2 (34)";
        QTest::newRow("no display name") << without({"CFBundleDisplayName"}) << "/opt/vorrel/bin"
                                         << "Vorrel" << "Version 1.2 (34)";
        QTest::newRow("display name not text")
            << with("CFBundleDisplayName", Value{std::int64_t{7}}) << "/opt/x" << "Vorrel"
            << "Version 1.2 (34)";
        QTest::newRow("no names: folder name")
            << without({"CFBundleDisplayName", "CFBundleName"}) << "/opt/Vorrel Beta/"
            << "Vorrel Beta" << "Version 1.2 (34)";
        QTest::newRow("no build") << without({"CFBundleVersion"}) << "/opt/x" << "Vorrel Pro"
                                  << "Version 1.2 (" + warning + ")";
        Dictionary broken = without({"CFBundleVersion"});
        broken["CFBundleShortVersionString"] = Value{1.5};
        QTest::newRow("version not text, no build")
            << broken << "/opt/x" << "Vorrel Pro" << "Version " + warning + " (" + warning + ")";
    }
    void applicationInformationInViews() {
        QFETCH(Dictionary, info);
        QFETCH(QString, bundlePath);
        QFETCH(QString, name);
        QFETCH(QString, versionLine);
        test::TempHome home;
        platform::Bundle::setMain(platform::Bundle(info, bundlePath.toStdString()));

        AppVersionUpdaterView updater({});
        QCOMPARE(updater.nameLabel()->text(), name);
        QCOMPARE(updater.versionLabel()->text(), versionLine);
        AppVersionView version({});
        QCOMPARE(version.nameLabel()->text(), name);
        QCOMPARE(version.versionLabel()->text(), versionLine);
        AppBrandingView branding({std::nullopt, "Quick look for EPS files", std::nullopt, 64});
        QCOMPARE(branding.nameLabel()->text(), name);
        AppBrandingView named({QString("Given"), "", std::nullopt, 64});
        QCOMPARE(named.nameLabel()->text(), QString("Given"));
    }

    void updateSwitchIsBoundBothWays() {
        test::TempHome home;
        bool stored = true;
        int setterCalls = 0;
        int checks = 0;
        AppVersionUpdaterView view({64, [&checks] { ++checks; }, [&stored] { return stored; },
                                    [&](bool on) {
                                        stored = on;
                                        ++setterCalls;
                                    }});
        QCOMPARE(view.automaticCheckBox()->text(), QString("Automatically check for updates"));
        QVERIFY(view.automaticCheckBox()->isChecked());

        view.automaticCheckBox()->click();
        QCOMPARE(stored, false);
        QCOMPARE(setterCalls, 1);

        // A change made elsewhere shows without being written back.
        stored = true;
        view.setAutomaticallyCheckForUpdates(true);
        QVERIFY(view.automaticallyCheckForUpdates());
        QCOMPARE(setterCalls, 1);

        QCOMPARE(view.checkForUpdatesButton()->text(), QString("Check for Updates…"));
        view.checkForUpdatesButton()->click();
        QCOMPARE(checks, 1);
        view.setCheckForUpdatesEnabled(false);
        view.checkForUpdatesButton()->click();
        QCOMPARE(checks, 1);
    }

    void returnRunsTheDefaultButton() {
        test::TempHome home;
        int checks = 0;
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* view = new AppVersionUpdaterView({64, [&checks] { ++checks; }, {}, {}});
        layout->addWidget(view);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        view->automaticCheckBox()->setFocus();
        QTest::keyClick(view->automaticCheckBox(), Qt::Key_Return);
        QCOMPARE(checks, 1);
        view->setCheckForUpdatesEnabled(false);
        QTest::keyClick(view->automaticCheckBox(), Qt::Key_Return);
        QCOMPARE(checks, 1);

        // The finder's default button opens the file chooser.
        UTIFinderView finder;
        int imports = 0;
        finder.setFileImporter([&imports](QWidget*) {
            ++imports;
            return FileImport{};
        });
        finder.show();
        QApplication::setActiveWindow(&finder);
        QVERIFY(QTest::qWaitForWindowActive(&finder));
        QTest::keyClick(finder.copyResultButton(), Qt::Key_Return);
        QCOMPARE(imports, 1);
    }

    void helpButtonPopupLinksTheTroubleshootingPage() {
        test::TempHome home;
        CapturedUrls captured;
        QuickLookHelpButton button;
        button.show();
        QVERIFY(!button.isPopoverShown());
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(button.isPopoverShown());
        QLabel* label = button.popoverLabel();
        QCOMPARE(label->textFormat(), Qt::MarkdownText);
        QVERIFY(label->textInteractionFlags() & Qt::LinksAccessibleByMouse);
        const QString href = firstLink(label->text());
        QCOMPARE(href, QString::fromUtf8(maker::troubleshootingPage.data()));
        QTextDocument rendered;
        rendered.setMarkdown(label->text());
        QCOMPARE(rendered.toPlainText().trimmed(),
                 QString("Quick Look not working? Visit Troubleshooting Quick Look Extensions for help."));
        emit label->linkActivated(href);
        QCOMPARE(captured.urls, QList<QUrl>{QUrl(href)});

        QTest::keyClick(label->window(), Qt::Key_Escape);
        QVERIFY(!button.isPopoverShown());
        QuickLookHelpButton fresh;
        QVERIFY(!fresh.isPopoverShown());
    }

    void helpMenuItems_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("opened");
        QTest::newRow("more apps") << 0 << "More Apps By Us" << "app.badge" << "https://quarnix.app/";
        QTest::newRow("website") << 1 << "Website" << "app.badge" << "https://quarnix.app/vorrel/";
        QTest::newRow("contact") << 2 << "Contact Us" << "envelope" << "mailto:support@quarnix.app";
        QTest::newRow("privacy") << 3 << "Privacy Policy" << "hand.raised" << "https://quarnix.app/privacy/";
        QTest::newRow("terms") << 4 << "Terms of Service" << "newspaper" << "https://quarnix.app/terms/";
        QTest::newRow("bad address") << 5 << "Website" << "app.badge" << "";
    }
    void helpMenuItems() {
        QFETCH(int, item);
        QFETCH(QString, label);
        QFETCH(QString, symbol);
        QFETCH(QString, opened);
        test::TempHome home;
        CapturedUrls captured;
        QObject owner;
        auto text = [](std::string_view view) { return QString::fromUtf8(view.data(), view.size()); };
        QAction* action = nullptr;
        switch (item) {
        case 0: action = helpmenu::moreAppsByUs(&owner); break;
        case 1: action = helpmenu::website(text(maker::vorrelPage), &owner); break;
        case 2: action = helpmenu::contactUs(text(maker::supportEmail), &owner); break;
        case 3: action = helpmenu::privacyPolicy(text(maker::privacyPolicy), &owner); break;
        case 4: action = helpmenu::termsOfService(text(maker::termsOfService), &owner); break;
        case 5: action = helpmenu::website("http://exa mple.com/%zz", &owner); break;
        }
        QCOMPARE(action->parent(), &owner);
        QCOMPARE(action->text(), label);
        QVERIFY(!action->icon().isNull());
        QCOMPARE(action->icon().pixmap(16).toImage(),
                 symbolIcon(symbol.toStdString()).pixmap(16).toImage());
        action->trigger();
        if (opened.isEmpty())
            QVERIFY(captured.urls.isEmpty());
        else
            QCOMPARE(captured.urls, QList<QUrl>{QUrl(opened)});
    }

    void utiFinderItemShowsTheOneFinder() {
        test::TempHome home;
        QObject owner;
        QAction* action = helpmenu::utiFinder(&owner);
        QCOMPARE(action->text(), QString("MIME Type Finder"));
        action->trigger();
        QWidget* window = UTIFinder::shared().window();
        QVERIFY(window->isVisible());
        window->close();
        helpmenu::utiFinder(&owner)->trigger();
        QCOMPARE(UTIFinder::shared().window(), window);
        QVERIFY(window->isVisible());
        window->close();
    }

    void symbolIcons() {
        for (const char* symbol :
             {"magnifyingglass", "app.badge", "envelope", "hand.raised", "newspaper",
              "exclamationmark.bubble", "house", "gear", "info.circle", "ladybug",
              "doc.text.magnifyingglass", "folder", "arrow.trianglehead.2.counterclockwise.rotate.90"}) {
            QVERIFY2(!themeIconName(symbol).isEmpty(), symbol);
            QVERIFY2(!symbolIcon(symbol).pixmap(24).isNull(), symbol);
        }
        QVERIFY(symbolIcon("no.such.symbol").isNull());
        QVERIFY(!applicationIcon().pixmap(64).isNull());
    }

    void orderedListItemsLineUp() {
        test::TempHome home;
        CapturedUrls captured;
        QWidget list;
        auto* layout = new QVBoxLayout(&list);
        QList<OrderedListItem*> rows;
        for (int order : {1, 4, 10}) {
            rows << new OrderedListItem(
                "Open [the settings](https://quarnix.app/help/) and choose **Vorrel**.", order);
            layout->addWidget(rows.last());
        }
        list.resize(420, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        for (OrderedListItem* row : rows) {
            QCOMPARE(row->numberLabel()->width(), 12);
            QCOMPARE(row->textLabel()->x(), rows.first()->textLabel()->x());
            // The text itself, inside the room its label keeps for a focus frame.
            QCOMPARE(row->textLabel()->contentsRect().x() + row->textLabel()->x() -
                         row->numberLabel()->geometry().right() - 1,
                     5);
        }
        QCOMPARE(rows[2]->numberLabel()->text(), QString("10."));
        const QString href = firstLink(rows[0]->textLabel()->text());
        QCOMPARE(href, QString("https://quarnix.app/help/"));
        emit rows[0]->textLabel()->linkActivated(href);
        QCOMPARE(captured.urls, QList<QUrl>{QUrl(href)});
    }

    void orderedListItemIsAsTallAsItsText() {
        // A short step with a link is one line tall, not the two lines of its unwrapped hint.
        test::TempHome home;
        QWidget list;
        auto* layout = new QVBoxLayout(&list);
        auto* row = new OrderedListItem("Make it the [default application](https://quarnix.app/).", 1);
        layout->addWidget(row);
        layout->addStretch(1);
        list.resize(460, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QLabel* text = row->textLabel();
        QCOMPARE(text->height(), text->heightForWidth(text->width()));
        QVERIFY(text->height() < 2 * text->fontMetrics().lineSpacing());
    }

    void plainSectionInsets() {
        test::TempHome home;
        PlainSection plain("Heading");
        auto* child = new QLabel("content");
        plain.addWidget(child);
        PlainSection padded("Heading", 8, 4);
        padded.addWidget(new QLabel("content"));
        plain.show();
        padded.show();
        QVERIFY(QTest::qWaitForWindowExposed(&padded));
        QCOMPARE(plain.headingLabel()->y(), 0);
        QCOMPARE(plain.headingLabel()->contentsRect().left(), 0);
        QCOMPARE(child->x(), 10);
        QCOMPARE(child->width(), plain.width() - 10);
        QCOMPARE(padded.headingLabel()->y(), 8);
        QCOMPARE(padded.headingLabel()->contentsRect().left(), 4);
        QCOMPARE(padded.height() - padded.contentLayout()->geometry().bottom() - 1, 8);
    }

    void iconFollowsTheIconTheme() {
        test::TempHome home;
        platform::Bundle::setMain(platform::Bundle(platform::hostInfoDictionary(), "/opt/vorrel/bin"));
        // A theme of our own that has an icon named after the application, all red.
        const auto theme = home.root() / "icons" / "redtheme";
        std::filesystem::create_directories(theme / "64x64" / "apps");
        home.write("icons/redtheme/index.theme",
                   "[Icon Theme]\nName=redtheme\nDirectories=64x64/apps\n\n"
                   "[64x64/apps]\nSize=64\nType=Fixed\n");
        QImage red(64, 64, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(QString::fromStdString((theme / "64x64" / "apps" / "vorrel.png").string())));
        const QStringList savedPaths = QIcon::themeSearchPaths();
        const QString savedTheme = QIcon::themeName();

        AppIconView view(64);
        QSignalSpy changed(&view, &AppIconView::iconChanged);
        QVERIFY(view.pixmap().toImage().pixelColor(32, 32) != QColor(Qt::red));

        QIcon::setThemeSearchPaths({QString::fromStdString((home.root() / "icons").string())});
        QIcon::setThemeName("redtheme");
        QEvent themeChange(QEvent::ThemeChange);
        QApplication::sendEvent(&view, &themeChange);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(view.pixmap().toImage().pixelColor(32, 32), QColor(Qt::red));

        // The same picture again is no change.
        QEvent paletteChange(QEvent::PaletteChange);
        QApplication::sendEvent(&view, &paletteChange);
        QCOMPARE(changed.count(), 1);

        QIcon::setThemeSearchPaths(savedPaths);
        QIcon::setThemeName(savedTheme);
        QApplication::sendEvent(&view, &themeChange);
        QCOMPARE(changed.count(), 2);
        QVERIFY(view.pixmap().toImage().pixelColor(32, 32) != QColor(Qt::red));
    }

    void sharedStringIsAStoreLink() {
        test::TempHome home;
        QCOMPARE(firstLink(sharedstrings::otherApp()),
                 QString::fromUtf8(maker::otherAppStorePage.data()));
        QCOMPARE(&sharedstrings::otherApp(), &sharedstrings::otherApp());
    }
};

// Renders the finder with two entries and the branding and version views into PNG files.
static int saveScreens(const QString& folder) {
    QDir().mkpath(folder);
    test::TempHome home;
    platform::Bundle::setMain(platform::Bundle(platform::hostInfoDictionary(), "/opt/vorrel/bin"));
    auto save = [&folder](QWidget* widget, const char* name) {
        widget->show();
        if (!QTest::qWaitForWindowExposed(widget)) return false;
        QCoreApplication::processEvents();
        return widget->grab().save(folder + "/zodadavovov-" + name);
    };
    const auto eps = home.write("Sample Drawing.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n");
    const auto notes = home.write("Release notes.txt", "notes\n");
    UTIFinder& finder = UTIFinder::shared();
    finder.view()->setFiles({QUrl::fromLocalFile(QString::fromStdString(eps.string())),
                             QUrl::fromLocalFile(QString::fromStdString(notes.string()))});
    bool ok = save(finder.window(), "uti-finder.png");

    QWidget branding;
    branding.resize(460, 260);
    auto* brandingLayout = new QVBoxLayout(&branding);
    brandingLayout->addWidget(new AppBrandingView({std::nullopt, "Quick look for EPS files", std::nullopt, 128}));
    ok = save(&branding, "branding.png") && ok;

    QWidget version;
    version.resize(520, 180);
    auto* versionLayout = new QVBoxLayout(&version);
    versionLayout->addWidget(new AppVersionUpdaterView({64, [] {}, [] { return true; }, [](bool) {}}));
    versionLayout->addWidget(new AppVersionView(
        {64, QString("https://quarnix.app/vorrel/"), QString("support@quarnix.app"), true}));
    ok = save(&version, "version.png") && ok;

    QWidget steps;
    steps.resize(460, 200);
    auto* stepsLayout = new QVBoxLayout(&steps);
    auto* section = new PlainSection("Enable the previewer");
    section->addWidget(new OrderedListItem("Open the **File Manager**.", 1));
    section->addWidget(new OrderedListItem("Choose an EPS file and open it with [Vorrel Quick Look](https://quarnix.app/vorrel/).", 2));
    stepsLayout->addWidget(section);
    stepsLayout->addStretch(1);
    ok = save(&steps, "steps.png") && ok;
    finder.window()->close();
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 2 && std::string_view(argv[1]) == "--screens") return saveScreens(argv[2]);
    ViewsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "Views_qtest.moc"
