// The quick-look service: vorrel-quicklook FILE… previews files with the extension that serves
// their type. The module P/lib/vorrel/service/vorrel-quicklook.so, which the program
// (launcher/main.cpp) loads and runs with the process of its converter head start, if any.
//   --help, --version  (see platform/cli/CommandLine.h; --version adds a line when the
//                      kernel lacks a protection of the converter, ProtectionNote.h)
//   --headless         no window: print the outcome (see HeadlessPreview.h)
//   --snapshot OUT.png render the view that would be shown into a PNG
//   --save-as OUT.pdf|OUT.png [--dpi N] [--transparent]  headless: also export the drawing
//   --nemo-previewer   serve Space in Nemo on the session bus (see NemoPreviewer.h)
#include <QApplication>
#include <QIcon>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "platform/cli/CommandLine.h"
#include "platform/desktop/ColorScheme.h"
#include "platform/desktop/DisplayPlatform.h"
#include "platform/desktop/ProtectionNote.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/ForkedWork.h"
#include "platform/ThisProcess.h"
#include "quicklook/ExtensionRegistry.h"
#include "quicklook/HeadlessPreview.h"
#include "quicklook/NemoPreviewer.h"
#include "quicklook/QuickLookWindow.h"
#include "quicklook/Snapshot.h"
#include "quicklook/Translations.h"

namespace {
// How long an exit waits for the extensions' workers (a purge that has started finishes).
constexpr int kShutDownBoundMs = 5000;
}  // namespace

// The program's main(), with the process of the converter's head start (-1 for none).
extern "C" __attribute__((visibility("default"))) int vorrel_quicklook_service(int argc, char* argv[],
                                                                              int headStart) {
    // Reaped when it ends; stopped on every way out (its conversion's files go with it).
    vorrel::platform::ForkedWork headStartRun(headStart);
    // The command line is answered in the user's language: its texts are looked up while an
    // application object that needs no display holds the catalogues. It goes before the
    // QApplication is made.
    auto translating = std::make_unique<QCoreApplication>(argc, argv);
    vorrel::quicklook::installTranslations();
    vorrel::platform::CommandLine commandLine(QStringLiteral("vorrel-quicklook"),
                                              QObject::tr("Quick look at EPS files."));
    QCommandLineParser& parser = commandLine.parser();
    const QCommandLineOption headless(
        QStringLiteral("headless"), QObject::tr("Preview without a window and print the outcome."));
    const QCommandLineOption snapshot(QStringLiteral("snapshot"),
                                      QObject::tr("Render the preview into a PNG file."),
                                      QStringLiteral("OUT.png"));
    const QCommandLineOption saveAs(
        QStringLiteral("save-as"),
        QObject::tr("Also write the drawing to OUT, a PDF or PNG file by its suffix (with --headless)."),
        QStringLiteral("OUT"));
    const QCommandLineOption dotsPerInch(
        QStringLiteral("dpi"), QObject::tr("The PNG's resolution, 72 to 600 dots per inch (default 300)."),
        QStringLiteral("N"), QStringLiteral("300"));
    const QCommandLineOption transparent(
        QStringLiteral("transparent"), QObject::tr("Leave the PNG's background transparent."));
    parser.addOptions({saveAs, dotsPerInch, transparent});
    // For measurements: quit once the first preview has painted.
    QCommandLineOption quitAfterPaint(QStringLiteral("quit-after-paint"));
    quitAfterPaint.setFlags(QCommandLineOption::HiddenFromHelp);
    const QCommandLineOption nemoPreviewer(
        QStringLiteral("nemo-previewer"),
        QObject::tr("Preview the files Nemo asks for when Space is pressed (started by the session bus)."));
    // For tests: how long the Nemo previewer waits, idle, before it exits.
    QCommandLineOption idleExit(QStringLiteral("idle-exit-ms"), QString(), QStringLiteral("MS"));
    idleExit.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({headless, snapshot, quitAfterPaint, nemoPreviewer, idleExit});
    parser.addPositionalArgument(QStringLiteral("FILE"), QObject::tr("The files to preview."),
                                 QStringLiteral("FILE…"));
    // Which of the converter's protections this kernel lacks, in the user's language.
    commandLine.setVersionNote([] { return vorrel::platform::protectionNote(); });
    if (const auto status = commandLine.parse(argc, argv)) return *status;

    std::vector<std::filesystem::path> files;
    for (const QString& name : parser.positionalArguments())
        files.emplace_back(QFile::encodeName(name).toStdString());
    if (files.empty() && !parser.isSet(nemoPreviewer))
        return commandLine.usageError(QObject::tr("no file given"));
    std::optional<vorrel::quicklook::ExportRequest> exportRequest;
    if (parser.isSet(saveAs)) {
        if (!parser.isSet(headless))
            return commandLine.usageError(QObject::tr("--save-as needs --headless"));
        vorrel::quicklook::ExportRequest request;
        const QString out = parser.value(saveAs);
        if (std::error_code ignored; std::filesystem::is_directory(QFile::encodeName(out).toStdString(), ignored)) {
            std::fprintf(stderr, "%s\n",
                         QObject::tr("%1 is a folder; give the name of a file.").arg(out).toUtf8().constData());
            return 1;
        }
        if (out.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
            request.format = vorrel::quicklook::ExportRequest::Format::PDF;
        } else if (out.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
            request.format = vorrel::quicklook::ExportRequest::Format::PNG;
        } else {
            return commandLine.usageError(QObject::tr("the file to save as must end in .pdf or .png"));
        }
        bool number = false;
        request.dotsPerInch = parser.value(dotsPerInch).toInt(&number);
        if (!number || request.dotsPerInch < request.kMinimumDotsPerInch ||
            request.dotsPerInch > request.kMaximumDotsPerInch)
            return commandLine.usageError(QObject::tr("--dpi takes a number from 72 to 600"));
        request.transparent = parser.isSet(transparent);
        request.destination = std::filesystem::absolute(QFile::encodeName(out).toStdString());
        exportRequest = request;
    }

    translating.reset();

    // Without a window there is no need for a display: pick a platform without one before Qt
    // looks for one. What draws with the system's fonts (a snapshot's fallback text, an
    // exported image) is drawn offscreen; a plain headless run draws nothing with them, so the
    // minimal platform, whose fonts are a stand-in, spares loading the font configuration.
    const bool headlessRun = parser.isSet(headless);
    const bool drawsWithFonts = parser.isSet(snapshot) || parser.isSet(saveAs);
    if (headlessRun && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", drawsWithFonts ? "offscreen" : "minimal");
    else if (!headlessRun && !vorrel::platform::chooseDisplayPlatform("vorrel-quicklook"))
        return 1;
    // Headless, standard output carries the JSON lines only: whatever else would be printed
    // there (console log lines, the converter's banner) goes to standard error.
    std::FILE* out = headlessRun ? vorrel::platform::takeStandardOutput() : stdout;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorrel-quicklook"));
    // Empty: Qt appends the display name to every window title, and the preview window
    // decides itself whether its title has room for it (QuickLookWindow::titleFor()).
    QApplication::setApplicationDisplayName(QStringLiteral(""));
    QApplication::setDesktopFileName(QStringLiteral("vorrel-quicklook"));
    // Only a window shows the icon; headless, its theme look-up and SVG engine are not loaded.
    if (!headlessRun)
        QApplication::setWindowIcon(QIcon::fromTheme(
            QStringLiteral("vorrel"), QIcon(QStringLiteral(":/quicklook/vorrel.svg"))));
    vorrel::quicklook::installTranslations();

    // SIGTERM, SIGINT, SIGHUP: stop the extensions' work (running converters are killed, their
    // in-progress files removed) and exit with 128 + the signal's number. Every way out goes
    // through registry.shutDown(), so no thread of the plug-in outlives main().
    vorrel::platform::TerminationSignals termination;
    vorrel::platform::releaseTerminationSignals();  // held by the program while it started
    vorrel::quicklook::ExtensionRegistry registry(
        vorrel::quicklook::ExtensionRegistry::defaultPluginFolder());
    const auto shutDown = [&registry] {
        registry.shutDown(std::chrono::milliseconds(kShutDownBoundMs));
    };
    QObject::connect(&termination, &vorrel::platform::TerminationSignals::arrived, &app,
                     [&] {
                         shutDown();
                         app.exit();
                     });
    std::optional<QString> snapshotPath;
    if (parser.isSet(snapshot)) snapshotPath = parser.value(snapshot);
    if (parser.isSet(headless)) {
        const int status =
            vorrel::quicklook::runHeadless(registry, files, snapshotPath, out, stderr,
                                           [&] { return termination.received() != 0; },
                                           exportRequest);
        shutDown();
        // What is left is tearing down Qt and some sixty libraries: 2 ms of a run that scripts
        // time to its exit. The head start is stopped and the log written (at_quick_exit, in
        // Logbook.cpp), the streams flushed, and the process ends without the destructors.
        headStartRun.stop();
        std::fflush(nullptr);
        std::quick_exit(termination.exitStatus(status));
    }

    // Dark windows on a dark desktop (the drawing keeps its white page).
    vorrel::platform::followColorScheme(&app);

    if (parser.isSet(nemoPreviewer)) {
        // Quits when idle, not when its last window closes: Nemo may ask again at once.
        QApplication::setQuitOnLastWindowClosed(false);
        const auto idle = parser.isSet(idleExit)
                              ? std::chrono::milliseconds(parser.value(idleExit).toLongLong())
                              : vorrel::quicklook::NemoPreviewer::kIdleExit;
        vorrel::quicklook::NemoPreviewer previewer(registry, idle);
        QDBusConnection bus = QDBusConnection::sessionBus();
        QString error;
        if (!previewer.publish(bus, &error)) {
            std::fprintf(stderr, "vorrel-quicklook: %s\n", error.toUtf8().constData());
            shutDown();
            return 1;
        }
        QObject::connect(&previewer, &vorrel::quicklook::NemoPreviewer::idle, &app, &QApplication::quit);
        const int status = app.exec();
        previewer.Close();
        shutDown();
        return termination.exitStatus(status);
    }

    vorrel::quicklook::QuickLookWindow window(registry, files);
    if (snapshotPath) {
        QObject::connect(&window, &vorrel::quicklook::QuickLookWindow::contentPainted, &window,
                         [&window, path = *snapshotPath] {
                             // After the first paint a PDF page is still being drawn:
                             // renderSnapshot() waits for it.
                             vorrel::quicklook::renderSnapshot(window, window.size()).save(path, "PNG");
                         });
    }
    if (parser.isSet(quitAfterPaint)) {
        QObject::connect(&window, &vorrel::quicklook::QuickLookWindow::contentPainted, &app,
                         &QApplication::quit, Qt::QueuedConnection);
    }
    const int status = app.exec();
    window.close();  // stops the current preview's conversion
    shutDown();
    return termination.exitStatus(status);
}
