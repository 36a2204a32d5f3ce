#pragma once
// DefaultApplications: makes a desktop entry the default application for MIME types, and
// asks the session what it now opens a type with and what type it gives a file.
//
// setDefault(entry, mimeTypes, context, done):
//   1. Looks for the desktop entry where desktops look for applications (the
//      "applications" folders of $XDG_DATA_HOME and $XDG_DATA_DIRS). When it is in none of
//      them nothing is changed and the outcome is EntryNotInstalled: an association with
//      an entry nobody can find would leave such files with no application at all.
//   2. Runs `xdg-mime default ENTRY TYPE…` from PATH (an argument list, never a shell),
//      its standard error captured, with a time limit (30 s unless changed).
//   3. Done when it exits with status 0; ToolMissing when it cannot be started;
//      ToolFailed otherwise, with the last line it wrote to standard error as the message
//      and how it ended (exit status, signal, time limit).
// A status 0 is no proof that anything was written: callers read the association back.
//
// queryDefault(mimeType, …) runs `xdg-mime query default TYPE`, queryFileType(path, …)
// `xdg-mime query filetype PATH`; Done carries the first line of the answer (for a file
// type without parameters such as "; charset=…"), empty when there was none.
//
// No call blocks: the outcome arrives later on the calling thread's event loop. The child
// belongs to `context`: destroying the context ends the child (SIGKILL, reaped) and drops
// the outcome.
//
// Thread-safety: a thread with an event loop (the GUI thread).

#include <chrono>
#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

namespace vorrel::platform {

class DefaultApplications {
public:
    struct Outcome {
        enum class Status { Done, EntryNotInstalled, ToolMissing, ToolFailed };
        enum class Ending { Exited, Signalled, TimedOut };
        Status status = Status::Done;
        QString message;  // ToolFailed: the last line the tool wrote to standard error, or empty
        Ending ending = Ending::Exited;
        int exitStatus = 0;  // Ending::Exited: the tool's exit status
        QString answer;      // Done, for a query: the first line the tool printed
    };
    using Completion = std::function<void(const Outcome&)>;

    static void setDefault(const QString& desktopEntry, const QStringList& mimeTypes, QObject* context,
                           Completion done);
    static void queryDefault(const QString& mimeType, QObject* context, Completion done);
    static void queryFileType(const QString& path, QObject* context, Completion done);

    // The installed desktop entry's path, or an empty string.
    static QString locateEntry(const QString& desktopEntry);

    static void setTimeout(std::chrono::milliseconds timeout);
};

}  // namespace vorrel::platform
