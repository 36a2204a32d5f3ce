#pragma once
// ConfigEdits: the text edits that add Vorrel's "Quick Look" action to a file manager's own
// configuration files and take it out again, without touching a byte of the user's.
//
// Each edit takes the file's current bytes and returns the new bytes, or nothing with the
// reason when the file is not what it should be (a uca.xml that is not well-formed XML, or
// whose root is not <actions>). Adding and then removing gives back the original bytes.
//
//   uca.xml (Thunar's custom actions): our <action> goes in as one block, right before the
//   closing </actions>, at the start of its line when only blanks precede it there. It is
//   found again by its <unique-id>; removal takes out that <action> element alone.
//
//   Accelerator maps (Thunar's accels.scm, Caja's accels: a GtkAccelMap dump): one line
//   (gtk_accel_path "PATH" "KEY") appended, and removed again.
//
// Plain functions of their arguments; thread-safe.

#include <QByteArray>
#include <QString>

#include <optional>

namespace vorrel::spacebar {

struct EditResult {
    std::optional<QByteArray> bytes;  // the new contents; nothing when the file was left alone
    QString problem;                  // why, when nothing
};

// The <action> block for uca.xml, ending in a newline (see the file's comments on where
// it goes). `command` is Thunar's command line (with %f or %F); `patterns` like "*.eps;*.ps".
QByteArray ucaActionBlock(const QString& uniqueId, const QString& name, const QString& description,
                          const QString& command, const QString& patterns);

// Whether uca.xml holds an action with this unique id.
bool ucaHasAction(const QByteArray& uca, const QString& uniqueId);
// Adds `block` (ucaActionBlock) to uca.xml; an empty `uca` means the file does not exist yet.
// Adding an action that is there already returns the bytes unchanged.
EditResult ucaAddAction(const QByteArray& uca, const QByteArray& block, const QString& uniqueId);
// Takes our action out again (unchanged bytes when it is not there).
EditResult ucaRemoveAction(const QByteArray& uca, const QString& uniqueId);
// The contents of a uca.xml that holds nothing but `block`: the file ucaAddAction writes
// when there was none; removal deletes such a file rather than leaving an empty list.
QByteArray ucaFileWith(const QByteArray& block);

// (gtk_accel_path "PATH" "KEY"), with PATH's quotes and backslashes escaped as Scheme
// strings want.
QByteArray accelLine(const QString& path, const QString& key);
bool accelsHaveLine(const QByteArray& accels, const QByteArray& line);
QByteArray accelsAddLine(const QByteArray& accels, const QByteArray& line);
QByteArray accelsRemoveLine(const QByteArray& accels, const QByteArray& line);
// Caja's name for the menu action of a script: "script_" + the script's URI with "/" as
// "\s", "\" as "\\", "&" as "\a" and '"' as "\q".
QString cajaScriptActionName(const QString& scriptPath);

}  // namespace vorrel::spacebar
