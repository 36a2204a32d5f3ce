#pragma once
// UrlOpener: the one way the library hands an address to the desktop.
//
// openUrl() passes the address to the current opener, by default the desktop's
// (platform::Launcher: the user's default browser or mail program). Tests and embedders
// replace the opener with setUrlOpener() to capture addresses instead. Invalid or empty
// addresses are never passed on: openUrl() returns false for them. The default opener
// returns true at once and watches the hand-off without blocking; when nothing could open
// the address (no opener, or it exited with a failure), a message (window-modal to the
// window active at the call, not waited for) says so and gives the address to copy.
//
// Thread-safety: GUI thread only.

#include <QUrl>

#include <functional>

namespace vorrel::zodadavovov {

using UrlOpener = std::function<bool(const QUrl&)>;

// Installs an opener and returns the previous one; an empty function restores the default.
UrlOpener setUrlOpener(UrlOpener opener);
bool openUrl(const QUrl& url);

}  // namespace vorrel::zodadavovov
