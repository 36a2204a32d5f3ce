#include "platform/desktop/ColorScheme.h"

#include <optional>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QSettings>
#include <QStyleHints>

namespace vorrel::platform {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// The portal wraps the value in a variant, older ones in two.
std::optional<uint> portalValue(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    if (!ok) return std::nullopt;
    return number;
}

QString gtkSettingsIni() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) config = QDir::homePath() + QStringLiteral("/.config");
    QFile file(config + QStringLiteral("/gtk-3.0/settings.ini"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.read(64 * 1024));
}

ColorScheme fromQt() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    switch (QGuiApplication::styleHints()->colorScheme()) {
    case Qt::ColorScheme::Dark: return ColorScheme::Dark;
    case Qt::ColorScheme::Light: return ColorScheme::Light;
    default: break;
    }
#endif
    return ColorScheme::Unknown;
}

ColorScheme fromGtk() {
    return colorSchemeOfGtk(qEnvironmentVariable("GTK_THEME"), gtkSettingsIni());
}

// Applies the schemes as they become known: the dark palette over a light one, and back.
class SchemeFollower : public QObject {
    Q_OBJECT
public:
    explicit SchemeFollower(QObject* parent) : QObject(parent) {}

    void apply(ColorScheme scheme) {
        if (scheme == ColorScheme::Dark && !darkApplied_ && !isDark(QGuiApplication::palette())) {
            light_ = QGuiApplication::palette();
            darkApplied_ = true;
            QGuiApplication::setPalette(darkPalette());
        } else if (scheme == ColorScheme::Light && darkApplied_) {
            darkApplied_ = false;
            QGuiApplication::setPalette(light_);
        }
    }

public slots:
    void settingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value) {
        if (nameSpace != appearance || key != colorSchemeKey) return;
        if (const auto number = portalValue(value.variant())) {
            const ColorScheme scheme = colorSchemeOfPortal(*number);
            // "No preference" now: what the GTK theme says.
            apply(scheme == ColorScheme::Unknown ? fromGtk() : scheme);
        }
    }

private:
    QPalette light_;
    bool darkApplied_ = false;
};

}  // namespace

ColorScheme colorSchemeOfGtk(const QString& themeName, const QString& settingsIni) {
    QString name = themeName.section(QLatin1Char(':'), 0, 0).trimmed();  // GTK_THEME=Name:variant
    if (themeName.section(QLatin1Char(':'), 1).trimmed().compare(QLatin1String("dark"), Qt::CaseInsensitive) == 0)
        return ColorScheme::Dark;
    bool preferDark = false;
    bool inSettings = false;
    for (QString line : settingsIni.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSettings = line.compare(QLatin1String("[Settings]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSettings) continue;
        const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = line.section(QLatin1Char('='), 1).trimmed();
        if (key == QLatin1String("gtk-theme-name") && name.isEmpty())
            name = value;
        else if (key == QLatin1String("gtk-application-prefer-dark-theme"))
            preferDark = value == QLatin1String("1") || value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }
    if (name.endsWith(QLatin1String("-dark"), Qt::CaseInsensitive) || preferDark) return ColorScheme::Dark;
    if (!name.isEmpty()) return ColorScheme::Light;
    return ColorScheme::Unknown;
}

ColorScheme colorSchemeOfPortal(uint value) {
    switch (value) {
    case 1: return ColorScheme::Dark;
    case 2: return ColorScheme::Light;
    default: return ColorScheme::Unknown;
    }
}

ColorScheme desktopColorScheme() {
    if (const ColorScheme qt = fromQt(); qt != ColorScheme::Unknown) return qt;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, QStringLiteral("Read"));
        read << appearance << colorSchemeKey;
        const QDBusMessage reply = bus.call(read, QDBus::Block, 2000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            if (const auto number = portalValue(reply.arguments().front()))
                if (const ColorScheme portal = colorSchemeOfPortal(*number); portal != ColorScheme::Unknown)
                    return portal;
    }
    return fromGtk();
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QPalette darkPalette() {
    const QColor window(50, 50, 52), base(36, 36, 38), text(236, 236, 236), disabled(128, 128, 128);
    const QColor accent(53, 132, 228);
    QPalette palette(window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window.lighter(115));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent.lighter(130));
    palette.setColor(QPalette::LinkVisited, accent.lighter(110));
    palette.setColor(QPalette::Light, window.lighter(150));
    palette.setColor(QPalette::Midlight, window.lighter(125));
    palette.setColor(QPalette::Mid, window.darker(130));
    palette.setColor(QPalette::Dark, window.darker(160));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(130));
    return palette;
}

QPalette pagePalette(QPalette base) {
    for (const auto role : {QPalette::Window, QPalette::Base}) base.setColor(role, Qt::white);
    for (const auto role : {QPalette::WindowText, QPalette::Text}) base.setColor(role, Qt::black);
    return base;
}

void followColorScheme(QObject* context) {
    auto* follower = new SchemeFollower(context);
    if (const ColorScheme qt = fromQt(); qt != ColorScheme::Unknown) {
        follower->apply(qt);
        return;
    }
    // The GTK theme now; the portal's answer, which comes first, when it arrives (a portal
    // started on demand must not hold up the first window).
    follower->apply(fromGtk());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    bus.connect(portalService, portalPath, portalInterface, QStringLiteral("SettingChanged"), follower,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, QStringLiteral("Read"));
    read << appearance << colorSchemeKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 5000), follower);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, follower, [follower, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
        if (const auto number = portalValue(reply.arguments().front())) {
            const ColorScheme scheme = colorSchemeOfPortal(*number);
            if (scheme != ColorScheme::Unknown) follower->apply(scheme);
        }
    });
}

}  // namespace vorrel::platform

#include "ColorScheme.moc"
