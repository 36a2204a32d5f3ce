#pragma once
// Launcher: hands a file or an address to the desktop's opener and learns whether it took.
//
// 1. open(url) starts `xdg-open` (found on PATH) with the address, or the local path for
//    a file: address, without a terminal and with its output discarded.
// 2. The child's exit is watched on the calling thread's event loop; nothing blocks.
//    Exit status 0 reports Opened; a non-zero status, a crash or a failed start reports
//    Failed (xdg-open exits non-zero when no program handles the address).
// 3. An opener still running after the hand-off time (10 s) has started a program that
//    runs in the foreground: that counts as Opened, and its later exit is not reported.
// 4. Without xdg-open on PATH, QDesktopServices::openUrl decides (its own search for a
//    browser, or the handlers an application registered with it).
//
// The outcome arrives exactly once, always later (never inside open()). A program that
// the opener started outlives us, as the user expects of a browser window.
//
// Thread-safety: GUI thread only.

#include <functional>

#include <QUrl>

namespace vorrel::platform {

class Launcher {
public:
    enum class Outcome { Opened, Failed };
    using Completion = std::function<void(Outcome)>;

    static void open(const QUrl& url, Completion done = {});
};

}  // namespace vorrel::platform
