// The desktop's dark or light preference, read as a desktop gives it: from the XDG settings
// portal on a private session bus (this process plays the portal), and from the GTK theme's
// name when no portal answers; the application's palette turns dark and back.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "platform/desktop/ColorScheme.h"

using namespace vorrel;
using platform::ColorScheme;

namespace {

// The part of org.freedesktop.portal.Settings a reader of the colour scheme uses.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 0;
    bool wrappedTwice = false;  // as portals before version 2 answer

public slots:
    QDBusVariant Read(const QString& nameSpace, const QString& key) {
        ++reads;
        if (nameSpace != "org.freedesktop.appearance" || key != "color-scheme") return QDBusVariant(QString());
        const QVariant value = QVariant::fromValue(scheme);
        return wrappedTwice ? QDBusVariant(QVariant::fromValue(QDBusVariant(value))) : QDBusVariant(value);
    }

public:
    int reads = 0;
};

void announce(uint scheme) {
    QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                                     "org.freedesktop.portal.Settings", "SettingChanged");
    signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
           << QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme)));
    QVERIFY(QDBusConnection::sessionBus().send(signal));
}

}  // namespace

class ColorSchemeTest : public QObject {
    Q_OBJECT

private slots:
    void gtkTheme_data() {
        QTest::addColumn<QString>("gtkTheme");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("expected");
        const int dark = int(ColorScheme::Dark), light = int(ColorScheme::Light), unknown = int(ColorScheme::Unknown);
        QTest::newRow("nothing set") << "" << "" << unknown;
        QTest::newRow("GTK_THEME dark") << "Adwaita-dark" << "" << dark;
        QTest::newRow("GTK_THEME variant") << "Adwaita:dark" << "" << dark;
        QTest::newRow("GTK_THEME light wins over the file") << "Adwaita" << "[Settings]\ngtk-theme-name=Adwaita-dark\n" << light;
        QTest::newRow("settings.ini theme") << "" << "[Settings]\ngtk-theme-name = Yaru-dark\n" << dark;
        QTest::newRow("prefer dark") << "" << "[Settings]\ngtk-theme-name=Adwaita\ngtk-application-prefer-dark-theme=1\n" << dark;
        QTest::newRow("another section") << "" << "[Other]\ngtk-theme-name=Adwaita-dark\n" << unknown;
        QTest::newRow("darkish name is no dark theme") << "" << "[Settings]\ngtk-theme-name=Darkroom\n" << light;
    }
    void gtkTheme() {
        QFETCH(QString, gtkTheme);
        QFETCH(QString, settings);
        QFETCH(int, expected);
        QCOMPARE(int(platform::colorSchemeOfGtk(gtkTheme, settings)), expected);
    }

    // Without a portal: the GTK theme of the user's settings.
    void gtkSettingsWithoutAPortal() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        QTemporaryDir config;
        QVERIFY(QDir(config.path()).mkpath("gtk-3.0"));
        QFile ini(config.filePath("gtk-3.0/settings.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\ngtk-theme-name=Adwaita-dark\n");
        ini.close();
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qunsetenv("GTK_THEME");
        auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        QCOMPARE(platform::desktopColorScheme(), ColorScheme::Dark);
    }

    void followsThePortal_data() {
        QTest::addColumn<bool>("wrappedTwice");
        QTest::newRow("portal 2 and later") << false;
        QTest::newRow("older portal") << true;
    }
    void followsThePortal() {
        QFETCH(bool, wrappedTwice);
        qunsetenv("GTK_THEME");
        qputenv("XDG_CONFIG_HOME", "/nonexistent");
        auto restoreEnvironment = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        QDBusConnection bus = QDBusConnection::sessionBus();
        FakePortal portal;
        portal.scheme = 1;
        portal.wrappedTwice = wrappedTwice;
        QVERIFY(bus.registerObject("/org/freedesktop/portal/desktop", &portal, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.portal.Desktop"));
        auto unregister = qScopeGuard([&] {
            bus.unregisterService("org.freedesktop.portal.Desktop");
            bus.unregisterObject("/org/freedesktop/portal/desktop");
        });
        QCOMPARE(platform::desktopColorScheme(), ColorScheme::Dark);

        const QPalette light = QApplication::palette();
        QVERIFY(!platform::isDark(light));
        {
            QObject context;
            platform::followColorScheme(&context);
            QTRY_VERIFY(platform::isDark(QApplication::palette()));
            QWidget widget;
            QVERIFY(platform::isDark(widget.palette()));  // widgets made now are dark too

            // The desktop turns light, then says it has no preference (the GTK theme, none, holds).
            announce(2);
            QTRY_VERIFY(!platform::isDark(QApplication::palette()));
            QCOMPARE(QApplication::palette().color(QPalette::Window), light.color(QPalette::Window));
            announce(1);
            QTRY_VERIFY(platform::isDark(QApplication::palette()));
            announce(0);
            QTest::qWait(200);
            QVERIFY(platform::isDark(QApplication::palette()));
        }
        // Gone with its context: no more following.
        QApplication::setPalette(light);
        announce(1);
        QTest::qWait(200);
        QVERIFY(!platform::isDark(QApplication::palette()));
    }
};

QTEST_MAIN(ColorSchemeTest)
#include "ColorScheme_bus.moc"
