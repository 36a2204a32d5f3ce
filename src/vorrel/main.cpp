// vorrel: the host application. One instance per session: a second launch brings the
// running window to the front and ends.
#include <filesystem>
#include <system_error>

#include <QApplication>

#include "platform/Bundle.h"
#include "platform/cli/CommandLine.h"
#include "platform/desktop/DisplayPlatform.h"
#include "platform/desktop/SingleInstance.h"
#include "vorrel/Translations.h"
#include "vorrel/VorrelApp.h"
#include "widgets/SymbolIcon.h"

int main(int argc, char* argv[]) {
    vorrel::platform::CommandLine commandLine(
        QStringLiteral("vorrel"),
        QObject::tr("Set up quick look for EPS files, change its settings, check for updates."));
    if (const auto status = commandLine.parse(argc, argv)) return *status;

    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    vorrel::platform::Bundle::setMain(
        vorrel::platform::Bundle(vorrel::platform::hostInfoDictionary(), executable.parent_path()));

    if (!vorrel::platform::chooseDisplayPlatform("vorrel")) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorrel"));
    QApplication::setDesktopFileName(QStringLiteral("vorrel"));

    const auto identifier = vorrel::platform::Bundle::main().string("CFBundleIdentifier");
    vorrel::platform::SingleInstance instance(QString::fromStdString(identifier.value_or("com.quarnix.Vorrel")));
    if (!instance.isPrimary()) return 0;

    QApplication::setWindowIcon(vorrel::zodadavovov::applicationIcon());
    vorrel::installTranslations();

    vorrel::VorrelApp vorrelApp;
    vorrelApp.showWindow();
    QObject::connect(&instance, &vorrel::platform::SingleInstance::activationRequested, &vorrelApp,
                     &vorrel::VorrelApp::raiseWindow);
    return QApplication::exec();
}
