#pragma once
// LaunchToken: what a launch carries so that the window it ends up showing may take the
// focus. Compositors and window managers refuse focus to a program that merely asks; a
// launcher (the desktop's menu, a file manager) hands the program it starts a token for the
// user's action, and a later launch hands that token on to the running instance.
//
//   Wayland: the XDG activation token (XDG_ACTIVATION_TOKEN; platform data
//   "activation-token" of org.freedesktop.Application.Activate).
//   X11: the startup notification id (DESKTOP_STARTUP_ID; platform data
//   "desktop-startup-id"), ending in "_TIME<timestamp>" of the user's action.
//
// Launchers often set only one of the two, or both to the same value: each platform takes
// its own and falls back to the other.
//
// activate(window, token) asks for the window to be activated with the token:
//   1. wayland: XDG_ACTIVATION_TOKEN is set to the token (the xdg-shell integration of Qt
//      6.4 reads it, and unsets it, when asked to activate a window; without one it is
//      unset, so that a token already spent is not offered again);
//   2. window->requestActivate();
//   3. xcb, with a startup id: _NET_ACTIVE_WINDOW once more, with the time of the user's
//      action when the id has one, and the "remove" startup message for the id, which ends
//      the launcher's busy cursor (the launch that carried it maps no window).
//
// Thread-safety: fromEnvironment() before any thread starts (main(), before the
// QApplication, whose X11 connection consumes DESKTOP_STARTUP_ID); activate() on the GUI
// thread.

#include <cstdint>
#include <optional>

#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QWindow;

namespace vorrel::platform {

struct LaunchToken {
    QString activationToken;  // Wayland's
    QString startupId;        // X11's

    static LaunchToken fromEnvironment();
    // The keys of org.freedesktop.Application's platform data; values that are not strings
    // are ignored.
    static LaunchToken fromPlatformData(const QVariantMap& platformData);
    QVariantMap platformData() const;

    bool isEmpty() const { return activationToken.isEmpty() && startupId.isEmpty(); }
    QString forWayland() const { return activationToken.isEmpty() ? startupId : activationToken; }
    QString forX11() const { return startupId.isEmpty() ? activationToken : startupId; }
    // The X server time at the end of a startup id ("…_TIME1234"), if it has one.
    static std::optional<std::uint32_t> startupTime(const QString& startupId);

    bool operator==(const LaunchToken&) const = default;
};

void activate(QWindow* window, const LaunchToken& token);

}  // namespace vorrel::platform

Q_DECLARE_METATYPE(vorrel::platform::LaunchToken)
