#pragma once
// SpaceBar: makes Space in the user's file managers preview EPS files with Vorrel, and
// undoes it. Nothing happens per user until turnOn() is called.
//
// What each file manager gets (all per user, under the XDG folders of `Environment`):
//   GNOME Files  Sushi, its previewer, is extended, never replaced:
//                Sushi 43–50: DATA/sushi/viewers/vorrel.js, a viewer that also narrows
//                Sushi's built-in document viewer's list by our types only;
//                Sushi 51 and later: the package's SUSHI_PLUGINS/vorrel.js serves already
//                (state Builtin); without it, DATA/sushi/plugins-1/vorrel.js.
//   Nemo         DATA/dbus-1/services/org.nemo.Preview.service, which starts
//                "vorrel-quicklook --nemo-previewer" when Nemo asks for a preview; only when
//                no other program owns that name or has a service file for it.
//   Thunar       a "Quick Look" custom action in CONFIG/Thunar/uca.xml bound to Space in
//                CONFIG/Thunar/accels.scm.
//   Caja         the script CONFIG/caja/scripts/Quick Look, bound to Space in CONFIG/caja/accels.
// The user's files are edited with ConfigEdits (written atomically; one we cannot parse is
// left alone and the outcome says why); turnOff() takes out exactly what turnOn() added, and
// deletes the files turnOn() created. A file of ours is recognised by its marker line, and
// a file of the same name that is not ours is never overwritten or removed.
//
// A file manager is found when its program is on the PATH (GNOME Files also when Sushi is
// installed).
//
// Texts are translated (context "SpaceBar"); the English text is the key.
//
// Thread-safety: one object per thread; the environment is read when it is made.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace vorrel::spacebar {

enum class FileManager { Files, Nemo, Thunar, Caja };

enum class State {
    Off,          // Space does not preview EPS there; turnOn() would change that
    On,           // set up by turnOn()
    Builtin,      // previews EPS with what the package installed; nothing to switch
    Unavailable,  // cannot be set up here; detail says why
};

struct Status {
    FileManager manager;
    State state;
    QString detail;  // one sentence for the user
};

struct Outcome {
    bool ok;
    QString message;  // what was done, or why not
};

struct Environment {
    QString dataHome;      // $XDG_DATA_HOME, else ~/.local/share
    QString configHome;    // $XDG_CONFIG_HOME, else ~/.config
    QStringList dataDirs;  // $XDG_DATA_DIRS, else /usr/local/share:/usr/share
    QString quickLook;     // absolute path of vorrel-quicklook
    QString sushiPluginFolder = QStringLiteral("/usr/lib/sushi/plugins-1");
    // The program's absolute path on the PATH, or empty.
    std::function<QString(const QString&)> findProgram;
    // Whether a program on the session bus owns the name, or the bus can start one for it.
    std::function<bool(const QString&)> busNameTaken;
    // Asks the session bus to read its service files again.
    std::function<void()> reloadBus;

    // The process's own environment, the session bus and the PATH.
    static Environment current(const QString& quickLook);
};

class SpaceBar {
public:
    explicit SpaceBar(Environment environment);

    static QString displayName(FileManager manager);
    static QString stateName(State state);  // "on", "off", "built in", "unavailable"

    // The file managers found, in the order of FileManager.
    QList<FileManager> found() const;
    Status status(FileManager manager) const;
    Outcome turnOn(FileManager manager);
    Outcome turnOff(FileManager manager);

    // Sushi's plug-in API: 1 for the plugins-1 folder (Sushi 51 and later), 0 for the
    // viewers folder (43–50), -1 without Sushi.
    int sushiApi() const;

    // The files turnOn() writes or edits.
    QString sushiViewerPath() const;
    QString sushiUserPluginPath() const;
    QString nemoServicePath() const;
    QString thunarActionsPath() const;
    QString thunarAccelsPath() const;
    QString cajaScriptPath() const;
    QString cajaAccelsPath() const;

    // The marker every file of ours carries.
    static constexpr const char* marker = "Written by Vorrel";
    static constexpr const char* nemoBusName = "org.nemo.Preview";
    static constexpr const char* thunarActionId = "vorrel-quick-look";

private:
    Status filesStatus() const;
    Status nemoStatus() const;
    Outcome filesOn();
    Outcome nemoOn();
    Outcome thunarOn();
    Outcome cajaOn();
    Outcome turnOffFiles(FileManager manager);
    Outcome thunarOff();
    Outcome cajaOff();
    QString otherNemoServiceFile() const;
    QByteArray thunarBlock() const;
    QByteArray thunarAccel() const;
    QByteArray cajaAccel() const;

    Environment env_;
};

}  // namespace vorrel::spacebar
