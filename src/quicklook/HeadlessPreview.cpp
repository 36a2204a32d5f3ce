#include "quicklook/HeadlessPreview.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <nlohmann/json.hpp>

#include "quicklook/FallbackView.h"
#include "quicklook/PreviewSession.h"
#include "quicklook/QuickLookWindow.h"
#include "quicklook/Snapshot.h"

namespace vorrel::quicklook {

namespace {

QString numberedPath(const QString& path, std::size_t index) {
    if (index == 0) return path;
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    return info.path() + "/" + info.completeBaseName() + "-" + QString::number(index + 1) + suffix;
}

QSize screenBounds() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() * 0.9 : QSize(1280, 960);
}

bool saveSnapshot(PreviewSession& session, const QString& path, std::FILE* err) {
    QImage image;
    if (session.state() == PreviewSession::State::Succeeded && session.view()) {
        image = renderSnapshot(
            *session.view(),
            QuickLookWindow::fittedSize(session.preferredContentSize(), screenBounds()));
    } else {
        FallbackView fallback(session.file(), session.errorText());
        image = renderSnapshot(fallback, QuickLookWindow::fittedSize({}, screenBounds()));
    }
    if (image.save(path, "PNG")) return true;
    std::fprintf(err, "%s\n",
                 QObject::tr("Could not write the snapshot to %1.").arg(path).toUtf8().constData());
    return false;
}

void printLine(std::FILE* out, const nlohmann::ordered_json& line) {
    const auto text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

}  // namespace

int runHeadless(ExtensionRegistry& registry, const std::vector<std::filesystem::path>& files,
                const std::optional<QString>& snapshotPath, std::FILE* out, std::FILE* err,
                const std::function<bool()>& stopRequested,
                const std::optional<ExportRequest>& saveAs) {
    int status = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (stopRequested && stopRequested()) break;
        const auto file = std::filesystem::absolute(files[i]);
        PreviewSession session(registry, file);
        QEventLoop loop;
        QObject::connect(&session, &PreviewSession::finished, &loop, &QEventLoop::quit);
        session.start();
        if (session.state() == PreviewSession::State::Running) loop.exec();
        if (session.state() == PreviewSession::State::Running) break;  // the program is exiting

        if (session.state() == PreviewSession::State::Succeeded && saveAs) {
            ExportRequest request = *saveAs;
            request.destination = QFile::encodeName(
                numberedPath(QFile::decodeName(saveAs->destination.c_str()), i)).toStdString();
            std::optional<std::optional<PreviewError>> outcome;
            QEventLoop exported;
            session.exportPreview(request, [&](std::optional<PreviewError> error) {
                outcome = std::move(error);
                exported.quit();
            });
            if (!outcome) exported.exec();
            if (!outcome) break;  // the program is exiting
            if (*outcome) {
                std::fprintf(err, "%s\n", (*outcome)->localizedDescription.c_str());
                status = 1;
                continue;
            }
        }
        if (session.state() == PreviewSession::State::Succeeded) {
            const QSizeF size = session.preferredContentSize();
            nlohmann::ordered_json line;
            line["file"] = file.string();
            line["output"] = session.previewFileURL().string();
            line["format"] = session.previewFormatName().toStdString();
            line["contentSize"] = {size.width(), size.height()};
            if (const int pages = session.previewPageCount(); pages > 0) line["pages"] = pages;
            if (!session.previewComplete()) line["complete"] = false;
            printLine(out, line);
        } else {
            std::fprintf(err, "%s\n", session.errorText().toUtf8().constData());
            // Scripts reading one line per file get one for a failure too.
            nlohmann::ordered_json line;
            line["error"] = session.errorText().toStdString();
            printLine(out, line);
            status = 1;
        }
        if (snapshotPath && !saveSnapshot(session, numberedPath(*snapshotPath, i), err))
            status = 1;
    }
    return status;
}

}  // namespace vorrel::quicklook
