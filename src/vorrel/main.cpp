// vorrel: the host application. One instance per session: a second launch brings the
// running window to the front and ends.
#include <filesystem>
#include <memory>
#include <system_error>

#include <QApplication>
#include <QCoreApplication>

#include "platform/Bundle.h"
#include "platform/cli/CommandLine.h"
#include "platform/desktop/DisplayPlatform.h"
#include "platform/desktop/SingleInstance.h"
#include "spacebar/SpaceBarCommand.h"
#include "vorrel/Translations.h"
#include "vorrel/VorrelApp.h"
#include "widgets/SymbolIcon.h"

int main(int argc, char* argv[]) {
    // The command line is answered in the user's language: its texts are looked up while an
    // application object that needs no display holds the catalogues. It goes before the
    // QApplication is made.
    auto translating = std::make_unique<QCoreApplication>(argc, argv);
    vorrel::installTranslations();
    vorrel::platform::CommandLine commandLine(
        QStringLiteral("vorrel"),
        QObject::tr("Set up quick look for EPS files, change its settings, check for updates."));
    const QCommandLineOption spaceBar(
        QStringLiteral("space-bar"),
        QObject::tr("Make Space in the file managers preview EPS files (on), undo it (off), or "
                    "say what Space does in each (status)."),
        QStringLiteral("on|off|status"));
    commandLine.parser().addOption(spaceBar);
    if (const auto status = commandLine.parse(argc, argv)) return *status;
    if (commandLine.parser().isSet(spaceBar)) {
        vorrel::spacebar::SpaceBar setup(vorrel::spacebar::Environment::current(
            QCoreApplication::applicationDirPath() + QLatin1String("/vorrel-quicklook")));
        return vorrel::spacebar::runSpaceBarCommand(commandLine.parser().value(spaceBar), setup,
                                                    stdout, stderr);
    }

    translating.reset();

    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    vorrel::platform::Bundle::setMain(
        vorrel::platform::Bundle(vorrel::platform::hostInfoDictionary(), executable.parent_path()));

    if (!vorrel::platform::chooseDisplayPlatform("vorrel")) return 1;
    // Read before Qt's X11 connection takes DESKTOP_STARTUP_ID out of the environment.
    const auto launch = vorrel::platform::LaunchToken::fromEnvironment();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorrel"));
    QApplication::setDesktopFileName(QStringLiteral("vorrel"));

    const auto identifier = vorrel::platform::Bundle::main().string("CFBundleIdentifier");
    vorrel::platform::SingleInstance instance(QString::fromStdString(identifier.value_or("com.quarnix.Vorrel")),
                                              vorrel::platform::SingleInstance::Transport::Automatic, launch);
    if (!instance.isPrimary()) return 0;

    QApplication::setWindowIcon(vorrel::zodadavovov::applicationIcon());
    vorrel::installTranslations();

    vorrel::VorrelApp vorrelApp;
    vorrelApp.showWindow();
    QObject::connect(&instance, &vorrel::platform::SingleInstance::activationRequested, &vorrelApp,
                     &vorrel::VorrelApp::raiseWindow);
    return QApplication::exec();
}
