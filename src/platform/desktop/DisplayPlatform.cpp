#include "platform/desktop/DisplayPlatform.h"

#include <QDir>
#include <QLibraryInfo>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace vorrel::platform {

namespace {

// Whether a Unix socket at `path` (a leading '@' names an abstract one) accepts a connection.
bool socketAnswers(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    if (path.front() == '@') address.sun_path[0] = '\0';
    else ++length;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return answers;
}

bool waylandAnswers() {
    std::string name = qEnvironmentVariable("WAYLAND_DISPLAY").toStdString();
    if (name.empty()) return false;
    if (name.front() != '/') {
        const std::string runtime = qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString();
        if (runtime.empty()) return false;
        name = runtime + "/" + name;
    }
    return socketAnswers(name);
}

// DISPLAY is [host]:number[.screen]; a local one is served on /tmp/.X11-unix/X<number> (or
// the abstract socket of that name). A remote one is taken to answer: Qt says if it does not.
bool xAnswers() {
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix" && host.front() != '/') return true;
    if (!host.empty() && host.front() == '/') return socketAnswers(display);  // launchd-style path
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty()) return false;
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return socketAnswers("@" + socket) || socketAnswers(socket);
}

bool waylandPluginInstalled() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty();
}

}  // namespace

std::optional<QString> platformFor(const DisplayFacts& facts) {
    const QString& requested = facts.requested;
    const bool wayland = facts.waylandAnswers && facts.waylandPlugin;
    if (requested.isEmpty()) {
        if (!wayland && !facts.xAnswers) return std::nullopt;
        return QString();
    }
    if (requested.contains(QLatin1Char(';'))) return requested;
    if (requested == QLatin1String("wayland") || requested.startsWith(QLatin1String("wayland-"))) {
        if (wayland) return requested + QStringLiteral(";xcb");
        if (facts.xAnswers) return QStringLiteral("xcb");
        return std::nullopt;
    }
    if (requested == QLatin1String("xcb")) {
        if (facts.xAnswers) return requested;
        if (wayland) return QStringLiteral("wayland");
        return std::nullopt;
    }
    return requested;
}

bool chooseDisplayPlatform(const char* program) {
    DisplayFacts facts;
    facts.requested = qEnvironmentVariable("QT_QPA_PLATFORM");
    facts.waylandAnswers = waylandAnswers();
    facts.waylandPlugin = waylandPluginInstalled();
    facts.xAnswers = xAnswers();
    const auto platform = platformFor(facts);
    if (!platform) {
        std::fprintf(stderr,
                     "%s: there is no display to show a window on: no Wayland compositor "
                     "(WAYLAND_DISPLAY) and no X server (DISPLAY) answers.\n",
                     program);
        return false;
    }
    if (!platform->isEmpty()) qputenv("QT_QPA_PLATFORM", platform->toUtf8());
    return true;
}

}  // namespace vorrel::platform
