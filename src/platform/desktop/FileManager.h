#pragma once
// FileManager: shows files in the user's file manager.
//
// reveal(path) asks the file manager over D-Bus to open a window with the item selected
// (org.freedesktop.FileManager1.ShowItems on the session bus, with the item's file URI
// and an empty startup id). When no file manager answers (no session bus, no such
// service, an error reply, or no reply within the time limit) it opens the item's
// containing folder through the Launcher instead, and Failed means that the opener,
// too, could not show it (none found, or it exited with a failure). The item need not exist.
//
// The call does not block: the outcome arrives later, on the calling thread's event
// loop, through the optional callback.
//
// Thread-safety: GUI thread only (QDesktopServices and the bus connection are used there).

#include <chrono>
#include <filesystem>
#include <functional>

#include <QString>
#include <QUrl>

namespace vorrel::platform {

class FileManager {
public:
    enum class RevealOutcome {
        ShownByFileManager,       // the file manager accepted ShowItems
        OpenedContainingFolder,   // fallback: the desktop's opener showed the containing folder
        Failed,                   // neither worked
    };
    using Completion = std::function<void(RevealOutcome)>;

    static void reveal(const std::filesystem::path& path, Completion done = {});

    // How long the file manager has to answer (5 s unless changed).
    static void setReplyTimeout(std::chrono::milliseconds timeout);

    // The file URI of a path, percent-encoded (spaces, newlines and non-ASCII survive).
    static QString fileUri(const std::filesystem::path& path);
    // The folder holding the path ("/a/b/" for "/a/b/c" and for "/a/b/c/").
    static QUrl containingFolder(const std::filesystem::path& path);
};

}  // namespace vorrel::platform
