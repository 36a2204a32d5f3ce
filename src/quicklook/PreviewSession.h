#pragma once
// PreviewSession: one preview of one file, as the service runs it.
//
// What happens:
//   1. start() asks the registry for the extension serving the file; without one the
//      session fails at once (queued, so finished() always comes after start() returns).
//   2. It makes one controller, loads its view and calls preparePreviewOfFile().
//   1a. When asked to (setBackground()), the controller makes the preview ahead of need
//      (PreviewingController step 3a): its work yields to everything else.
//   2a. When asked to (wantInterimContent()), it lets the controller show a first look before
//      the request ends, and emits interimShown() when view() holds one (still Running).
//   3. When the completion arrives the session records the outcome and emits finished().
// Destroying the session releases the controller (and with it the controller's view).
//
// Thread-safety: GUI thread only.

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>

#include <filesystem>
#include <memory>

#include "preview/contract/PreviewingController.h"

class QWidget;

namespace vorrel::quicklook {

class ExtensionRegistry;

class PreviewSession : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Running, Succeeded, Failed };

    PreviewSession(ExtensionRegistry& registry, std::filesystem::path file,
                   QObject* parent = nullptr);
    ~PreviewSession() override;

    // Call before start(): the window wants a first look; a script does not.
    void wantInterimContent() { interimWanted_ = true; }
    // Call before start(): a preview made ahead of need (a neighbour of the file shown).
    void setBackground() { background_ = true; }
    bool isBackground() const { return background_; }
    void start();

    const std::filesystem::path& file() const { return file_; }
    State state() const { return state_; }
    // The error's text once the session has failed.
    const QString& errorText() const { return errorText_; }
    // The controller's view; nullptr when no extension serves the file.
    QWidget* view() const;
    // The controller's answers once the session has succeeded.
    QSizeF preferredContentSize() const;
    std::filesystem::path previewFileURL() const;
    QString previewFormatName() const;
    int previewPageCount() const;
    bool previewComplete() const;
    // Zooms content that zooms itself (see PreviewingController::zoom), a first look
    // included; false otherwise.
    bool zoom(double factor);
    // After success: the controller's export (PreviewingController::exportPreview); before
    // it, the completion gets an error (queued).
    void exportPreview(const ExportRequest& request, PreviewCompletion completion);
    // After success: the controller's facts (PreviewingController::describePreview); before
    // it, nothing (queued).
    void describePreview(FactsCompletion completion);

signals:
    void interimShown();
    void finished();

private:
    void fail(const QString& text);

    ExtensionRegistry& registry_;
    std::filesystem::path file_;
    std::unique_ptr<PreviewingController> controller_;
    QPointer<QWidget> view_;
    State state_ = State::Idle;
    bool interimWanted_ = false;
    bool background_ = false;
    QString errorText_;
};

}  // namespace vorrel::quicklook
