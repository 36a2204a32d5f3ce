#include "quicklook/PreviewSession.h"

#include <QMetaObject>
#include <QWidget>
#include <QPointer>

#include "quicklook/ExtensionRegistry.h"

namespace vorrel::quicklook {

PreviewSession::PreviewSession(ExtensionRegistry& registry, std::filesystem::path file,
                               QObject* parent)
    : QObject(parent), registry_(registry), file_(std::move(file)) {}

PreviewSession::~PreviewSession() = default;

void PreviewSession::start() {
    state_ = State::Running;
    QString error;
    PreviewExtension* extension = registry_.extensionFor(file_, &error);
    if (!extension) {
        QMetaObject::invokeMethod(this, [this, error] { fail(error); }, Qt::QueuedConnection);
        return;
    }
    controller_ = extension->makeController();
    view_ = controller_->view();
    if (background_) controller_->setBackground();
    QPointer<PreviewSession> self(this);
    if (interimWanted_) {
        controller_->setInterimHandler([self] {
            if (self && self->state_ == State::Running) emit self->interimShown();
        });
    }
    controller_->preparePreviewOfFile(file_, [self](std::optional<PreviewError> outcome) {
        if (!self || self->state_ != State::Running) return;
        if (outcome) {
            self->fail(QString::fromStdString(outcome->localizedDescription));
            return;
        }
        self->state_ = State::Succeeded;
        emit self->finished();
    });
}

void PreviewSession::fail(const QString& text) {
    state_ = State::Failed;
    errorText_ = text;
    emit finished();
}

QWidget* PreviewSession::view() const { return view_.data(); }

QSizeF PreviewSession::preferredContentSize() const {
    return controller_ ? controller_->preferredContentSize() : QSizeF();
}

std::filesystem::path PreviewSession::previewFileURL() const {
    return controller_ ? controller_->previewFileURL() : std::filesystem::path();
}

int PreviewSession::previewPageCount() const {
    return controller_ ? controller_->previewPageCount() : 0;
}

bool PreviewSession::previewComplete() const {
    return !controller_ || controller_->previewComplete();
}

QString PreviewSession::previewFormatName() const {
    return controller_ ? controller_->previewFormatName() : QString();
}

bool PreviewSession::zoom(double factor) {
    // A first look (Running) zooms too: the controller hands its zoom on to what follows.
    return state_ != State::Failed && state_ != State::Idle && controller_ &&
           controller_->zoom(factor);
}

void PreviewSession::exportPreview(const ExportRequest& request, PreviewCompletion completion) {
    if (state_ == State::Succeeded && controller_) {
        controller_->exportPreview(request, std::move(completion));
        return;
    }
    const std::string text = tr("There is no preview to take yet.").toStdString();
    QMetaObject::invokeMethod(
        this, [completion = std::move(completion), text] { completion(PreviewError{text}); },
        Qt::QueuedConnection);
}

void PreviewSession::describePreview(FactsCompletion completion) {
    if (state_ == State::Succeeded && controller_) {
        controller_->describePreview(std::move(completion));
        return;
    }
    QMetaObject::invokeMethod(
        this, [completion = std::move(completion)] { completion(std::nullopt); },
        Qt::QueuedConnection);
}

}  // namespace vorrel::quicklook
