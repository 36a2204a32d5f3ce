#include "quicklook/PreviewActions.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDrag>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHash>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>

#include <system_error>

#include "platform/desktop/DefaultApplications.h"
#include "platform/desktop/Launcher.h"
#include "quicklook/ExportName.h"
#include "quicklook/InfoPanel.h"
#include "quicklook/PreviewSession.h"
#include "quicklook/QuickLookWindow.h"

namespace fs = std::filesystem;

namespace vorrel::quicklook {

namespace {

// A dialog's title, ending in the program's name as the preview window's does.
QString dialogTitle(const QString& title) {
    return title + QStringLiteral(" \u2014 ") + QuickLookWindow::kApplicationTitle;
}

constexpr int kOverlayMargin = 8;
constexpr int kDefaultSaveDotsPerInch = 300;

QByteArray readAll(const fs::path& file) {
    QFile in(QFile::decodeName(file.c_str()));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

}  // namespace

PreviewActions::PreviewActions(QWidget& window, std::function<PreviewSession*()> current)
    : QObject(&window), window_(window), current_(std::move(current)) {
    const auto action = [this](const QString& text, const QKeySequence& keys, auto slot) {
        auto* made = new QAction(text, &window_);
        made->setShortcut(keys);
        made->setShortcutContext(Qt::WindowShortcut);
        made->setEnabled(false);
        connect(made, &QAction::triggered, this, slot);
        window_.addAction(made);
        return made;
    };
    copy_ = action(tr("Copy"), QKeySequence::Copy, [this] { copy(); });
    save_ = action(tr("Save As…"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { askWhereToSave(); });
    info_ = action(tr("Information"), QKeySequence(Qt::CTRL | Qt::Key_I), [this] { toggleInfo(); });
    info_->setCheckable(true);
    openWith_ = action(tr("Open With…"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] {
        PreviewSession* session = current_();
        if (!session) return;
        platform::Launcher::open(QUrl::fromLocalFile(QFile::decodeName(session->file().c_str())));
        window_.close();
    });
    openWith_->setVisible(false);
    window_.setContextMenuPolicy(Qt::ActionsContextMenu);

    infoButton_ = new QToolButton(&window_);
    infoButton_->setObjectName(QStringLiteral("infoButton"));
    // Its own text, not the action's: a small round "i" where the theme has no icon.
    infoButton_->setIcon(QIcon::fromTheme(QStringLiteral("dialog-information")));
    infoButton_->setToolButtonStyle(infoButton_->icon().isNull() ? Qt::ToolButtonTextOnly
                                                                 : Qt::ToolButtonIconOnly);
    infoButton_->setText(QStringLiteral("i"));
    infoButton_->setCheckable(true);
    infoButton_->setFocusPolicy(Qt::TabFocus);
    connect(infoButton_, &QToolButton::clicked, info_, &QAction::trigger);
    connect(info_, &QAction::toggled, infoButton_, &QToolButton::setChecked);
    infoButton_->setToolTip(tr("Information (Ctrl+I)"));
    infoButton_->setAccessibleName(tr("Information"));
    infoButton_->setAutoRaise(true);
    infoButton_->hide();

    panel_ = new InfoPanel(&window_);
    window_.installEventFilter(this);
}

PreviewActions::~PreviewActions() = default;

void PreviewActions::clear() {
    ++generation_;
    dragFile_.clear();
    exports_.reset();
}

fs::path PreviewActions::exportPath(const QString& suffix) const {
    PreviewSession* session = current_();
    const QString base = session ? exportBaseName(session->file()) : QStringLiteral("drawing");
    if (!exports_) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        try {
            exports_.emplace(QFile::encodeName(runtime + QStringLiteral("/vorrel")).toStdString(),
                             "exports-");
        } catch (const std::system_error&) {
            // A folder that does not exist: the export fails with a message and writes nothing.
            return QFile::encodeName(runtime + "/vorrel/exports-unavailable/" + base + suffix)
                .toStdString();
        }
    }
    return exports_->path() / QFile::encodeName(base + suffix).toStdString();
}

void PreviewActions::contentChanged(QWidget* content) {
    ++generation_;
    dragFile_.clear();
    pressedAt_.reset();
    content_ = content;
    PreviewSession* session = current_();
    const bool ready = session && session->state() == PreviewSession::State::Succeeded;
    for (QAction* action : {copy_, save_, info_}) action->setEnabled(ready);
    openWith_->setVisible(false);
    openWith_->setEnabled(false);
    infoButton_->setVisible(ready);
    infoButton_->raise();
    if (content) {
        content->installEventFilter(this);
        for (auto* area : content->findChildren<QAbstractScrollArea*>())
            area->viewport()->installEventFilter(this);
    }
    if (!ready) {
        panel_->hide();
        info_->setChecked(false);
        return;
    }
    findDefaultApplication();
    if (panel_->isVisible()) {
        info_->setChecked(false);
        toggleInfo();
    }
}

void PreviewActions::findDefaultApplication() {
    PreviewSession* session = current_();
    const QString type =
        QMimeDatabase().mimeTypeForFile(QFile::decodeName(session->file().c_str())).name();
    // Asked once per type and process: stepping through a folder starts no helper per file.
    static QHash<QString, QString> applicationNames;
    const auto offer = [this](const QString& name) {
        if (name.isEmpty()) return;
        openWith_->setText(tr("Open With %1").arg(name));
        openWith_->setVisible(true);
        openWith_->setEnabled(true);
    };
    if (const auto known = applicationNames.constFind(type); known != applicationNames.cend()) {
        offer(*known);
        return;
    }
    const int generation = generation_;
    platform::DefaultApplications::queryDefault(
        type, this, [this, generation, type, offer](const platform::DefaultApplications::Outcome& outcome) {
            if (outcome.status != platform::DefaultApplications::Outcome::Status::Done) return;
            const QString entry = outcome.answer.trimmed();
            QString name;
            if (!entry.isEmpty() && !entry.startsWith(QStringLiteral("vorrel-quicklook"))) {
                if (const QString path = platform::DefaultApplications::locateEntry(entry); !path.isEmpty()) {
                    QSettings desktop(path, QSettings::IniFormat);
                    desktop.beginGroup(QStringLiteral("Desktop Entry"));
                    name = desktop.value(QStringLiteral("Name")).toString();
                }
            }
            applicationNames.insert(type, name);
            if (generation == generation_) offer(name);
        });
}

void PreviewActions::copy(PreviewCompletion done) {
    PreviewSession* session = current_();
    const auto fail = [done](const std::string& text) {
        if (done) done(PreviewError{text});
    };
    if (!session || session->state() != PreviewSession::State::Succeeded)
        return fail(tr("There is no preview to take yet.").toStdString());
    const int generation = generation_;
    ExportRequest pdf{.destination = exportPath(QStringLiteral(".pdf"))};
    session->exportPreview(pdf, [this, generation, pdf, done, fail](std::optional<PreviewError> error) {
        if (generation != generation_) return fail(tr("The preview changed.").toStdString());
        if (error) return fail(error->localizedDescription);
        ExportRequest png{.destination = exportPath(QStringLiteral(".png")),
                          .format = ExportRequest::Format::PNG,
                          .dotsPerInch = kCopyDotsPerInch,
                          .transparent = false};
        PreviewSession* shown = current_();
        if (!shown) return fail(tr("The preview changed.").toStdString());
        shown->exportPreview(png, [this, generation, pdf, png, done, fail](std::optional<PreviewError> failure) {
            if (generation != generation_) return fail(tr("The preview changed.").toStdString());
            if (failure) return fail(failure->localizedDescription);
            auto* data = new QMimeData;
            data->setData(QStringLiteral("application/pdf"), readAll(pdf.destination));
            const QByteArray image = readAll(png.destination);
            data->setData(QStringLiteral("image/png"), image);
            data->setImageData(QImage::fromData(image, "PNG"));
            data->setUrls({QUrl::fromLocalFile(QFile::decodeName(pdf.destination.c_str()))});
            QGuiApplication::clipboard()->setMimeData(data);
            if (done) done(std::nullopt);
        });
    });
}

QStringList PreviewActions::copiedFormats(const QMimeData& data) { return data.formats(); }

void PreviewActions::save(const ExportRequest& request, PreviewCompletion done) {
    PreviewSession* session = current_();
    PreviewCompletion report = done ? std::move(done) : [this](std::optional<PreviewError> error) {
        if (error)
            QMessageBox::warning(&window_, dialogTitle(tr("Save As")), QString::fromStdString(error->localizedDescription));
    };
    if (!session) {
        report(PreviewError{tr("There is no preview to take yet.").toStdString()});
        return;
    }
    session->exportPreview(request, std::move(report));
}

void PreviewActions::askWhereToSave() {
    PreviewSession* session = current_();
    if (!session || session->state() != PreviewSession::State::Succeeded) return;
    const QString folder = QFile::decodeName(session->file().parent_path().c_str());
    const QString pdfFilter = tr("PDF document (*.pdf)");
    const QString pngFilter = tr("PNG image (*.png)");
    QString filter = pdfFilter;
    QString chosen = QFileDialog::getSaveFileName(
        &window_, dialogTitle(tr("Save As")), folder + "/" + exportBaseName(session->file()) + ".pdf",
        pdfFilter + ";;" + pngFilter, &filter);
    if (chosen.isEmpty() || !current_()) return;
    const bool png = chosen.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) ||
                     (filter == pngFilter && !chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive));
    if (png && !chosen.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) chosen += QStringLiteral(".png");
    ExportRequest request{.destination = QFile::encodeName(chosen).toStdString()};
    if (png) {
        QDialog options(&window_);
        options.setWindowTitle(dialogTitle(tr("PNG Image")));
        auto* layout = new QFormLayout(&options);
        auto* resolution = new QSpinBox(&options);
        resolution->setRange(ExportRequest::kMinimumDotsPerInch, ExportRequest::kMaximumDotsPerInch);
        resolution->setValue(kDefaultSaveDotsPerInch);
        resolution->setSuffix(tr(" dpi"));
        auto* transparent = new QCheckBox(tr("&Transparent background"), &options);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &options);
        layout->addRow(tr("&Resolution:"), resolution);
        layout->addRow(transparent);
        layout->addRow(buttons);
        connect(buttons, &QDialogButtonBox::accepted, &options, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &options, &QDialog::reject);
        if (options.exec() != QDialog::Accepted || !current_()) return;
        request.format = ExportRequest::Format::PNG;
        request.dotsPerInch = resolution->value();
        request.transparent = transparent->isChecked();
    } else if (!chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        request.destination += ".pdf";
    }
    save(request);
}

void PreviewActions::toggleInfo() {
    PreviewSession* session = current_();
    if (panel_->isVisible() || !session) {
        panel_->hide();
        info_->setChecked(false);
        return;
    }
    info_->setChecked(true);
    panel_->show();
    panel_->showReading();
    placePanel();
    panel_->raise();
    infoButton_->raise();
    const int generation = generation_;
    session->describePreview([this, generation](std::optional<PreviewFacts> facts) {
        if (generation != generation_) return;
        panel_->setFacts(facts);
        placePanel();
    });
}

void PreviewActions::placePanel() {
    // Over the drawing's right side; a window too small for it grows.
    const QSize room = panel_->size() + QSize(2 * kOverlayMargin, 2 * kOverlayMargin + infoButton_->height());
    if (window_.width() < room.width() || window_.height() < room.height())
        window_.resize(window_.size().expandedTo(room));
    panel_->move(window_.width() - panel_->width() - kOverlayMargin, kOverlayMargin);
    panel_->raise();
    infoButton_->raise();
}

void PreviewActions::startDrag() {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QFile::decodeName(dragFile_.c_str()))});
    auto* drag = new QDrag(&window_);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
}

bool PreviewActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            infoButton_->adjustSize();
            infoButton_->move(window_.width() - infoButton_->width() - kOverlayMargin,
                              window_.height() - infoButton_->height() - kOverlayMargin);
            if (panel_->isVisible()) placePanel();
        }
        return false;
    }
    PreviewSession* session = current_();
    if (!session || session->state() != PreviewSession::State::Succeeded) return false;
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        pressedAt_ = mouse->globalPosition().toPoint();
        if (dragFile_.empty()) {
            // Written while the pointer starts to move: ready by the time it has moved far enough.
            const int generation = generation_;
            ExportRequest pdf{.destination = exportPath(QStringLiteral(".pdf"))};
            session->exportPreview(pdf, [this, generation, pdf](std::optional<PreviewError> error) {
                if (generation == generation_ && !error) dragFile_ = pdf.destination;
            });
        }
    } else if (event->type() == QEvent::MouseMove && pressedAt_) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton)) {
            pressedAt_.reset();
        } else if (!dragFile_.empty() &&
                   (mouse->globalPosition().toPoint() - *pressedAt_).manhattanLength() >=
                       QApplication::startDragDistance()) {
            pressedAt_.reset();
            startDrag();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        pressedAt_.reset();
    }
    return false;
}

}  // namespace vorrel::quicklook
