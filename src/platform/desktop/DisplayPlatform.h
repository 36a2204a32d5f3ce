#pragma once
// Which of Qt's platform plug-ins a program with windows starts on. Qt aborts the process when
// the one it was told to use cannot start (QT_QPA_PLATFORM=wayland where no compositor runs,
// as sessions that set it for every program have); this picks one that can, before the
// QApplication is made.
//
// platformFor(facts), the rule:
//   1. nothing asked for: Qt's own choice for the session (an empty string), when a compositor
//      or an X server answers;
//   2. wayland asked for: "wayland;xcb" when the plug-in is installed and a compositor answers
//      (Qt falls back to X by itself should the compositor still refuse), else "xcb" when an
//      X server answers;
//   3. xcb asked for: "xcb" when an X server answers, else "wayland" when that can start;
//   4. a list (with ";") or any other plug-in (offscreen, vnc…): as it is;
//   5. otherwise nothing: there is no display.
//
// chooseDisplayPlatform(program) gathers the facts from the environment (WAYLAND_DISPLAY under
// XDG_RUNTIME_DIR, DISPLAY's socket, the plug-in folder), sets QT_QPA_PLATFORM to what the
// rule names (when it names one) and returns true; without a display it prints one sentence to
// standard error and returns false, and the program exits 1.
//
// Thread-safety: call once, from main(), before any thread starts.

#include <QString>

#include <optional>

namespace vorrel::platform {

struct DisplayFacts {
    QString requested;              // QT_QPA_PLATFORM as set, or empty
    bool waylandAnswers = false;    // a compositor's socket accepts a connection
    bool waylandPlugin = false;     // Qt's wayland platform plug-in is installed
    bool xAnswers = false;          // an X server's socket accepts a connection, or DISPLAY is remote
};

std::optional<QString> platformFor(const DisplayFacts& facts);

bool chooseDisplayPlatform(const char* program);

}  // namespace vorrel::platform
