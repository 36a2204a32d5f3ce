#include "spacebar/SpaceBar.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

#include "spacebar/ConfigEdits.h"

namespace vorrel::spacebar {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("SpaceBar", text); }

constexpr const char* kCajaScriptName = "Quick Look";
constexpr const char* kSushiService = "dbus-1/services/org.gnome.NautilusPreviewer.service";
// Thunar matches the patterns against the file name as it is.
constexpr const char* kPatterns =
    "*.eps;*.epsi;*.epsf;*.ps;*.eps.gz;*.ps.gz;*.eps.bz2;*.ps.bz2;*.EPS;*.PS";

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes,
               std::optional<QFile::Permissions> permissions = std::nullopt) {
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(bytes);
    if (!file.commit()) return false;
    return !permissions || QFile::setPermissions(path, *permissions);
}

bool isOurs(const QString& path) {
    const auto bytes = readFile(path);
    return bytes && bytes->contains(SpaceBar::marker);
}

// Removes the folders of `path` that are empty now, up to the first of `homes` (exclusive).
void removeEmptyFolders(const QString& path, const QStringList& homes) {
    QDir folder = QFileInfo(path).dir();
    while (!homes.contains(folder.path()) && folder.path().size() > 1 && folder.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString name = folder.dirName();
        if (!folder.cdUp() || !folder.rmdir(name)) return;
    }
}

// Removes a file of ours; a file that is not there is fine, one that is not ours stays.
bool removeOurs(const QString& path) {
    if (!QFileInfo::exists(path)) return true;
    return isOurs(path) && QFile::remove(path);
}

QString jsString(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    quoted.replace(QLatin1String("'"), QLatin1String("\\'"));
    quoted.replace(QLatin1String("\n"), QLatin1String("\\n"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString shellWord(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A Sushi file of ours from its template, with the program's path filled in.
QByteArray sushiScript(const QString& resource, const QString& quickLook) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("'@VORREL_QUICKLOOK@'"), jsString(quickLook));
    return text.toUtf8();
}

QString homeFolder(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value)) return value;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

Outcome notWritten(const QString& path) {
    return {false, tr("%1 could not be written.").arg(path)};
}

Outcome leftAlone(const QString& path, const QString& problem) {
    return {false, tr("%1 was left as it is: it could not be read (%2).").arg(path, problem)};
}

}  // namespace

Environment Environment::current(const QString& quickLook) {
    Environment env;
    env.dataHome = homeFolder("XDG_DATA_HOME", ".local/share");
    env.configHome = homeFolder("XDG_CONFIG_HOME", ".config");
    env.dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (env.dataDirs.isEmpty()) env.dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    env.quickLook = quickLook;
    env.findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    env.busNameTaken = [](const QString& name) {
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        if (!bus) return false;
        if (bus->isServiceRegistered(name)) return true;
        const QDBusReply<QStringList> names = bus->activatableServiceNames();
        return names.isValid() && names.value().contains(name);
    };
    env.reloadBus = [] {
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig")));
    };
    return env;
}

SpaceBar::SpaceBar(Environment environment) : env_(std::move(environment)) {}

QString SpaceBar::displayName(FileManager manager) {
    switch (manager) {
    case FileManager::Files: return tr("GNOME Files");
    case FileManager::Nemo: return QStringLiteral("Nemo");
    case FileManager::Thunar: return QStringLiteral("Thunar");
    case FileManager::Caja: return QStringLiteral("Caja");
    }
    return {};
}

QString SpaceBar::stateName(State state) {
    switch (state) {
    case State::Off: return QStringLiteral("off");
    case State::On: return QStringLiteral("on");
    case State::Builtin: return QStringLiteral("built in");
    case State::Unavailable: return QStringLiteral("unavailable");
    }
    return {};
}

QList<FileManager> SpaceBar::found() const {
    QList<FileManager> list;
    const std::pair<FileManager, const char*> programs[] = {
        {FileManager::Files, "nautilus"}, {FileManager::Nemo, "nemo"},
        {FileManager::Thunar, "thunar"}, {FileManager::Caja, "caja"}};
    for (const auto& [manager, program] : programs) {
        // Sushi alone counts for GNOME Files: other programs use it too, and it is what we set up.
        const bool there = !env_.findProgram(QLatin1String(program)).isEmpty() ||
                           (manager == FileManager::Files && sushiApi() >= 0);
        if (there) list << manager;
    }
    return list;
}

QString SpaceBar::sushiViewerPath() const { return env_.dataHome + QLatin1String("/sushi/viewers/vorrel.js"); }
QString SpaceBar::sushiUserPluginPath() const { return env_.dataHome + QLatin1String("/sushi/plugins-1/vorrel.js"); }
QString SpaceBar::nemoServicePath() const {
    return env_.dataHome + QLatin1String("/dbus-1/services/") + QLatin1String(nemoBusName) + QLatin1String(".service");
}
QString SpaceBar::thunarActionsPath() const { return env_.configHome + QLatin1String("/Thunar/uca.xml"); }
QString SpaceBar::thunarAccelsPath() const { return env_.configHome + QLatin1String("/Thunar/accels.scm"); }
QString SpaceBar::cajaScriptPath() const {
    return env_.configHome + QLatin1String("/caja/scripts/") + QLatin1String(kCajaScriptName);
}
QString SpaceBar::cajaAccelsPath() const { return env_.configHome + QLatin1String("/caja/accels"); }

int SpaceBar::sushiApi() const {
    bool installed = false;
    for (const QString& dir : env_.dataDirs) {
        if (!QFileInfo::exists(dir + QLatin1Char('/') + QLatin1String(kSushiService))) continue;
        installed = true;
        // The previewer's own resources name the stable plug-in API from 51 on; they keep
        // their file names readable (GVariant database keys).
        for (const char* folder : {"/gnome-sushi", "/sushi"}) {
            QDirIterator files(dir + QLatin1String(folder), {QStringLiteral("*.gresource")}, QDir::Files);
            while (files.hasNext()) {
                const auto bytes = readFile(files.next());
                if (bytes && bytes->contains("plugin-api-1.js")) return 1;
            }
        }
    }
    return installed ? 0 : -1;
}

Status SpaceBar::status(FileManager manager) const {
    switch (manager) {
    case FileManager::Files: return filesStatus();
    case FileManager::Nemo: return nemoStatus();
    case FileManager::Thunar: {
        const auto uca = readFile(thunarActionsPath());
        const auto accels = readFile(thunarAccelsPath());
        const bool on = uca && ucaHasAction(*uca, QLatin1String(thunarActionId)) && accels &&
                        accelsHaveLine(*accels, thunarAccel());
        return {manager, on ? State::On : State::Off,
                on ? tr("Space runs the custom action “Quick Look” on EPS files.")
                   : tr("Space does not preview EPS files.")};
    }
    case FileManager::Caja: {
        const auto accels = readFile(cajaAccelsPath());
        const bool on = isOurs(cajaScriptPath()) && accels && accelsHaveLine(*accels, cajaAccel());
        return {manager, on ? State::On : State::Off,
                on ? tr("Space runs the script “Quick Look” on the selected files.")
                   : tr("Space does not preview EPS files.")};
    }
    }
    return {manager, State::Unavailable, {}};
}

Status SpaceBar::filesStatus() const {
    const int api = sushiApi();
    if (api < 0)
        return {FileManager::Files, State::Unavailable,
                tr("Space needs Sushi, the previewer of GNOME Files (package gnome-sushi).")};
    if (api == 1 && QFileInfo::exists(env_.sushiPluginFolder + QLatin1String("/vorrel.js")))
        return {FileManager::Files, State::Builtin, tr("Sushi previews EPS files with Vorrel's plug-in.")};
    if (isOurs(api == 1 ? sushiUserPluginPath() : sushiViewerPath()))
        return {FileManager::Files, State::On, tr("Sushi previews EPS files with Vorrel.")};
    return {FileManager::Files, State::Off, tr("Sushi shows EPS files as text or not at all.")};
}

QString SpaceBar::otherNemoServiceFile() const {
    const QString name = QLatin1String(nemoBusName);
    for (const QString& dir : QStringList{env_.dataHome} + env_.dataDirs) {
        QDirIterator files(dir + QLatin1String("/dbus-1/services"), {QStringLiteral("*.service")}, QDir::Files);
        while (files.hasNext()) {
            const QString path = files.next();
            if (path == nemoServicePath() && isOurs(path)) continue;
            const auto bytes = readFile(path);
            if (!bytes) continue;
            for (const QByteArray& line : bytes->split('\n'))
                if (line.trimmed() == "Name=" + name.toUtf8()) return path;
        }
    }
    return {};
}

Status SpaceBar::nemoStatus() const {
    if (isOurs(nemoServicePath()))
        return {FileManager::Nemo, State::On, tr("Space previews files with Vorrel Quick Look.")};
    if (const QString other = otherNemoServiceFile(); !other.isEmpty())
        return {FileManager::Nemo, State::Unavailable,
                tr("Another previewer answers Space in Nemo (%1).").arg(other)};
    if (env_.busNameTaken && env_.busNameTaken(QLatin1String(nemoBusName)))
        return {FileManager::Nemo, State::Unavailable,
                tr("Another program answers Space in Nemo (it owns %1).").arg(QLatin1String(nemoBusName))};
    return {FileManager::Nemo, State::Off, tr("Space does nothing: no previewer is installed.")};
}

Outcome SpaceBar::turnOn(FileManager manager) {
    switch (manager) {
    case FileManager::Files: return filesOn();
    case FileManager::Nemo: return nemoOn();
    case FileManager::Thunar: return thunarOn();
    case FileManager::Caja: return cajaOn();
    }
    return {false, {}};
}

Outcome SpaceBar::turnOff(FileManager manager) {
    const Outcome outcome = turnOffFiles(manager);
    const QStringList homes{QDir::cleanPath(env_.dataHome)};
    // The folders made for our files in the data home; the file managers' own stay.
    for (const QString& path : {sushiViewerPath(), sushiUserPluginPath(), nemoServicePath()})
        if (!QFileInfo::exists(path)) removeEmptyFolders(path, homes);
    return outcome;
}

Outcome SpaceBar::turnOffFiles(FileManager manager) {
    switch (manager) {
    case FileManager::Files:
        if (!removeOurs(sushiViewerPath()) || !removeOurs(sushiUserPluginPath()))
            return {false, tr("The Sushi viewer could not be removed.")};
        return {true, tr("Sushi no longer uses Vorrel's viewer.")};
    case FileManager::Nemo:
        if (!removeOurs(nemoServicePath()))
            return {false, tr("%1 could not be removed.").arg(nemoServicePath())};
        if (env_.reloadBus) env_.reloadBus();
        return {true, tr("Nemo no longer starts Vorrel Quick Look on Space.")};
    case FileManager::Thunar: return thunarOff();
    case FileManager::Caja: return cajaOff();
    }
    return {false, {}};
}

Outcome SpaceBar::filesOn() {
    const Status now = filesStatus();
    if (now.state == State::Unavailable || now.state == State::Builtin) return {now.state == State::Builtin, now.detail};
    const bool plugin = sushiApi() == 1;
    const QString path = plugin ? sushiUserPluginPath() : sushiViewerPath();
    if (QFileInfo::exists(path) && !isOurs(path))
        return {false, tr("%1 is not Vorrel's and was left as it is.").arg(path)};
    const QByteArray script = sushiScript(
        plugin ? QStringLiteral(":/spacebar/sushi-plugin.js") : QStringLiteral(":/spacebar/sushi-viewer.js"),
        env_.quickLook);
    if (script.isEmpty() || !writeFile(path, script)) return notWritten(path);
    return {true, tr("Sushi previews EPS files with Vorrel from its next start.")};
}

Outcome SpaceBar::nemoOn() {
    const Status now = nemoStatus();
    if (now.state == State::On) return {true, now.detail};
    if (now.state == State::Unavailable) return {false, now.detail};
    const QByteArray service = "# " + QByteArray(marker) + ": Nemo's previewer, started when Space is pressed.\n"
                               "[D-BUS Service]\nName=" + QByteArray(nemoBusName) + "\nExec=" +
                               shellWord(env_.quickLook).toUtf8() + " --nemo-previewer\n";
    if (!writeFile(nemoServicePath(), service)) return notWritten(nemoServicePath());
    if (env_.reloadBus) env_.reloadBus();
    return {true, tr("Space in Nemo now previews files with Vorrel Quick Look.")};
}

QByteArray SpaceBar::thunarBlock() const {
    return ucaActionBlock(QLatin1String(thunarActionId), tr("Quick Look"),
                          tr("Preview with Vorrel Quick Look"), shellWord(env_.quickLook) + QLatin1String(" %F"),
                          QLatin1String(kPatterns));
}

QByteArray SpaceBar::thunarAccel() const {
    return accelLine(QLatin1String("<Actions>/ThunarActions/uca-action-") + QLatin1String(thunarActionId),
                     QStringLiteral("space"));
}

QByteArray SpaceBar::cajaAccel() const {
    return accelLine(QLatin1String("<Actions>/ScriptsGroup/") + cajaScriptActionName(cajaScriptPath()),
                     QStringLiteral("space"));
}

Outcome SpaceBar::thunarOn() {
    const QString ucaPath = thunarActionsPath(), accelsPath = thunarAccelsPath();
    const QByteArray uca = readFile(ucaPath).value_or(QByteArray());
    const EditResult edited = ucaAddAction(uca, thunarBlock(), QLatin1String(thunarActionId));
    if (!edited.bytes) return leftAlone(ucaPath, edited.problem);
    const QByteArray accels = readFile(accelsPath).value_or(QByteArray());
    if (*edited.bytes != uca && !writeFile(ucaPath, *edited.bytes)) return notWritten(ucaPath);
    const QByteArray bound = accelsAddLine(accels, thunarAccel());
    if (bound != accels && !writeFile(accelsPath, bound)) return notWritten(accelsPath);
    return {true, tr("Space in Thunar now runs “Quick Look” on EPS files; quit Thunar (thunar -q) "
                     "for it to take effect.")};
}

Outcome SpaceBar::thunarOff() {
    const QString ucaPath = thunarActionsPath(), accelsPath = thunarAccelsPath();
    if (const auto uca = readFile(ucaPath)) {
        const EditResult edited = ucaRemoveAction(*uca, QLatin1String(thunarActionId));
        if (!edited.bytes) return leftAlone(ucaPath, edited.problem);
        // A file that held only our action was ours to begin with.
        if (*edited.bytes != *uca) {
            const bool done = *uca == ucaFileWith(thunarBlock()) ? QFile::remove(ucaPath)
                                                                  : writeFile(ucaPath, *edited.bytes);
            if (!done) return notWritten(ucaPath);
        }
    }
    if (const auto accels = readFile(accelsPath)) {
        const QByteArray unbound = accelsRemoveLine(*accels, thunarAccel());
        if (unbound != *accels) {
            const bool done = unbound.isEmpty() ? QFile::remove(accelsPath) : writeFile(accelsPath, unbound);
            if (!done) return notWritten(accelsPath);
        }
    }
    return {true, tr("Thunar's “Quick Look” action is removed.")};
}

Outcome SpaceBar::cajaOn() {
    const QString script = cajaScriptPath(), accelsPath = cajaAccelsPath();
    if (QFileInfo::exists(script) && !isOurs(script))
        return {false, tr("%1 is not Vorrel's and was left as it is.").arg(script)};
    const QByteArray body = "#!/bin/sh\n# " + QByteArray(marker) +
                            ": Quick Look at the selected files, bound to Space.\nexec " +
                            shellWord(env_.quickLook).toUtf8() + " \"$@\"\n";
    if (!writeFile(script, body,
                   QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                       QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther))
        return notWritten(script);
    const QByteArray accels = readFile(accelsPath).value_or(QByteArray());
    const QByteArray bound = accelsAddLine(accels, cajaAccel());
    if (bound != accels && !writeFile(accelsPath, bound)) return notWritten(accelsPath);
    return {true, tr("Space in Caja now runs the script “Quick Look”; quit Caja (caja -q) for it "
                     "to take effect.")};
}

Outcome SpaceBar::cajaOff() {
    const QString accelsPath = cajaAccelsPath();
    if (!removeOurs(cajaScriptPath())) return {false, tr("%1 is not Vorrel's and was left as it is.").arg(cajaScriptPath())};
    if (const auto accels = readFile(accelsPath)) {
        const QByteArray unbound = accelsRemoveLine(*accels, cajaAccel());
        if (unbound != *accels) {
            const bool done = unbound.isEmpty() ? QFile::remove(accelsPath) : writeFile(accelsPath, unbound);
            if (!done) return notWritten(accelsPath);
        }
    }
    return {true, tr("Caja's “Quick Look” script is removed.")};
}

}  // namespace vorrel::spacebar
