#pragma once
// ThumbnailerEntries: the freedesktop thumbnailer entries ("NAME.thumbnailer" files with a
// [Thumbnailer Entry] group) as desktops' thumbnail factories read them.
//
// folders(): the "thumbnailers" folders in the factories' order: the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share) first, then each of $XDG_DATA_DIRS. For each MIME type
// GNOME's factory keeps the first entry it reads, so an entry in the user's folder wins.
//
// installed(): every readable entry of those folders, in that order (within one folder, by
// file name), with its Exec line and MIME types. A name in an earlier folder hides the same
// name in a later one.
//
// writeUserEntry(name, entry) / removeUserEntry(name): writes (atomically, creating the folder)
// or removes "<user folder>/<name>.thumbnailer". Both return false, with nothing changed, when
// the file cannot be written or removed; removing an entry that is not there succeeds.
//
// Thread-safety: plain functions; the environment is read at every call.

#include <QString>
#include <QStringList>

namespace vorrel::platform {

struct ThumbnailerEntry {
    QString file;  // absolute path
    QString tryExec;
    QString exec;
    QStringList mimeTypes;
};

class ThumbnailerEntries {
public:
    static QStringList folders();
    static QList<ThumbnailerEntry> installed();
    static bool writeUserEntry(const QString& name, const ThumbnailerEntry& entry);
    static bool removeUserEntry(const QString& name);
    static QString userEntryPath(const QString& name);
};

}  // namespace vorrel::platform
