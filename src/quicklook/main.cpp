// vorrel-quicklook FILE… — previews files with the extension that serves their type.
//   --help, --version  (see platform/cli/CommandLine.h)
//   --headless         no window: print the outcome (see HeadlessPreview.h)
//   --snapshot OUT.png render the view that would be shown into a PNG
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <unistd.h>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/cli/CommandLine.h"
#include "quicklook/ExtensionRegistry.h"
#include "quicklook/HeadlessPreview.h"
#include "quicklook/QuickLookWindow.h"

int main(int argc, char* argv[]) {
    vorrel::platform::CommandLine commandLine(QStringLiteral("vorrel-quicklook"),
                                              QObject::tr("Quick look at EPS files."));
    QCommandLineParser& parser = commandLine.parser();
    const QCommandLineOption headless(
        QStringLiteral("headless"), QObject::tr("Preview without a window and print the outcome."));
    const QCommandLineOption snapshot(QStringLiteral("snapshot"),
                                      QObject::tr("Render the preview into a PNG file."),
                                      QStringLiteral("OUT.png"));
    // For measurements: quit once the first preview has painted.
    QCommandLineOption quitAfterPaint(QStringLiteral("quit-after-paint"));
    quitAfterPaint.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({headless, snapshot, quitAfterPaint});
    parser.addPositionalArgument(QStringLiteral("FILE"), QObject::tr("The files to preview."),
                                 QStringLiteral("FILE…"));
    if (const auto status = commandLine.parse(argc, argv)) return *status;

    std::vector<std::filesystem::path> files;
    for (const QString& name : parser.positionalArguments())
        files.emplace_back(QFile::encodeName(name).toStdString());
    if (files.empty()) return commandLine.usageError(QObject::tr("no file given"));

    // Without a window there is no need for a display: pick the offscreen platform before
    // Qt looks for one.
    const bool headlessRun = parser.isSet(headless);
    if (headlessRun && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Headless, standard output carries the JSON lines only: whatever else would be printed
    // there (console log lines, the converter's banner) goes to standard error.
    std::FILE* out = stdout;
    if (headlessRun) {
        std::fflush(stdout);
        const int jsonOutput = dup(STDOUT_FILENO);
        if (jsonOutput >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) >= 0) {
            if (std::FILE* stream = fdopen(jsonOutput, "w")) out = stream;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorrel-quicklook"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorrel Quick Look"));

    vorrel::quicklook::ExtensionRegistry registry(
        vorrel::quicklook::ExtensionRegistry::defaultPluginFolder());
    std::optional<QString> snapshotPath;
    if (parser.isSet(snapshot)) snapshotPath = parser.value(snapshot);
    if (parser.isSet(headless))
        return vorrel::quicklook::runHeadless(registry, files, snapshotPath, out, stderr);

    vorrel::quicklook::QuickLookWindow window(registry, files);
    if (snapshotPath) {
        QObject::connect(&window, &vorrel::quicklook::QuickLookWindow::contentPainted, &window,
                         [&window, path = *snapshotPath] { window.grab().save(path, "PNG"); });
    }
    if (parser.isSet(quitAfterPaint)) {
        QObject::connect(&window, &vorrel::quicklook::QuickLookWindow::contentPainted, &app,
                         &QApplication::quit, Qt::QueuedConnection);
    }
    return app.exec();
}
