#include "platform/desktop/LaunchToken.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

namespace vorrel::platform {

namespace {

const QString activationTokenKey = QStringLiteral("activation-token");
const QString startupIdKey = QStringLiteral("desktop-startup-id");

QString stringValue(const QVariantMap& map, const QString& key) {
    const QVariant value = map.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    return event;
}

void sendToRoot(xcb_connection_t* connection, xcb_window_t root, const xcb_client_message_event_t& event,
                std::uint32_t mask) {
    xcb_send_event(connection, 0, root, mask, reinterpret_cast<const char*>(&event));
}

// The X11 side, spoken directly: Qt offers no public call for either. The window asks the
// window manager for the focus with the time of the user's action (not the time of the last
// event this process saw, which a window manager preventing focus stealing finds too old),
// and the launch's startup notification is ended: the later launch that carried it never maps
// a window, so the launcher's busy cursor would otherwise turn until it times out.
void applyOnX11(QWindow* window, const QString& startupId) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen) return;
    const xcb_window_t root = screen->root;
    const auto target = static_cast<xcb_window_t>(window->winId());
    const std::uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;

    if (const auto time = LaunchToken::startupTime(startupId)) {
        auto event = clientMessage(target, atom(connection, "_NET_ACTIVE_WINDOW"));
        event.data.data32[0] = 1;  // from an application
        event.data.data32[1] = *time;
        sendToRoot(connection, root, event, redirect);
    }

    // "remove: ID=<id>", NUL-terminated, in 20-byte pieces: the first typed _BEGIN.
    QByteArray id = startupId.toUtf8();
    id.replace('\\', "\\\\").replace('"', "\\\"").replace(' ', "\\ ");
    const QByteArray text = QByteArrayLiteral("remove: ID=") + id + '\0';
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at < text.size(); at += 20) {
        auto event = clientMessage(target, at == 0 ? begin : more);
        event.format = 8;
        std::memcpy(event.data.data8, text.constData() + at, std::min<qsizetype>(20, text.size() - at));
        sendToRoot(connection, root, event, XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    xcb_flush(connection);
}

}  // namespace

LaunchToken LaunchToken::fromEnvironment() {
    return {qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), qEnvironmentVariable("DESKTOP_STARTUP_ID")};
}

LaunchToken LaunchToken::fromPlatformData(const QVariantMap& platformData) {
    return {stringValue(platformData, activationTokenKey), stringValue(platformData, startupIdKey)};
}

QVariantMap LaunchToken::platformData() const {
    QVariantMap data;
    if (!activationToken.isEmpty()) data.insert(activationTokenKey, activationToken);
    if (!startupId.isEmpty()) data.insert(startupIdKey, startupId);
    return data;
}

std::optional<std::uint32_t> LaunchToken::startupTime(const QString& startupId) {
    const qsizetype at = startupId.lastIndexOf(QLatin1String("_TIME"));
    if (at < 0) return std::nullopt;
    const QStringView digits = QStringView(startupId).mid(at + 5);
    if (digits.isEmpty() || digits.front() == QLatin1Char('+') || digits.front() == QLatin1Char('-'))
        return std::nullopt;
    bool ok = false;
    const qulonglong time = digits.toULongLong(&ok);
    // 0 is CurrentTime, which a window manager does not take as a user's action.
    if (!ok || time == 0 || time > 0xffffffffULL) return std::nullopt;
    return static_cast<std::uint32_t>(time);
}

void activate(QWindow* window, const LaunchToken& token) {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        const QString wayland = token.forWayland();
        if (wayland.isEmpty())
            qunsetenv("XDG_ACTIVATION_TOKEN");
        else
            qputenv("XDG_ACTIVATION_TOKEN", wayland.toUtf8());
        window->requestActivate();
    } else {
        window->requestActivate();
        if (platform == QLatin1String("xcb") && !token.forX11().isEmpty()) applyOnX11(window, token.forX11());
    }
}

}  // namespace vorrel::platform
