#include "quicklook/QuickLookWindow.h"

#include <QAbstractScrollArea>
#include <QFile>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPdfView>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStackedLayout>
#include <QTimer>
#include <QWindow>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/desktop/ColorScheme.h"
#include "quicklook/FallbackView.h"
#include "quicklook/FolderListing.h"
#include "quicklook/PreviewActions.h"
#include "quicklook/ExtensionRegistry.h"
#include "preview/zoom/PdfZoom.h"
#include "quicklook/PreviewSession.h"

namespace vorrel::quicklook {

QuickLookWindow::QuickLookWindow(ExtensionRegistry& registry,
                                 std::vector<std::filesystem::path> files, QWidget* parent)
    : QWidget(parent), registry_(registry), files_(std::move(files)), listFolder_(files_.size() == 1) {
    busyPage_ = new QWidget(this);
    auto* busyLayout = new QVBoxLayout(busyPage_);
    auto* busyBar = new QProgressBar(busyPage_);
    busyBar->setRange(0, 0);  // an indeterminate bar: the platform's busy indicator
    busyBar->setTextVisible(false);
    busyBar->setMaximumWidth(160);
    busyLayout->addStretch(1);
    busyLayout->addWidget(busyBar, 0, Qt::AlignCenter);
    busyLayout->addStretch(1);

    contentPage_ = new QWidget(this);
    contentLayout_ = new QVBoxLayout(contentPage_);
    contentLayout_->setContentsMargins(0, 0, 0, 0);

    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->addWidget(busyPage_);
    stack_->addWidget(contentPage_);

    busyTimer_ = new QTimer(this);
    busyTimer_->setSingleShot(true);
    busyTimer_->setInterval(kBusyDelay);
    connect(busyTimer_, &QTimer::timeout, this, &QuickLookWindow::showBusyIndicator);

    const auto shortcut = [this](const QKeySequence& keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] { close(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
    shortcut(QKeySequence(Qt::Key_Left), [this] { showPrevious(); });
    shortcut(QKeySequence(Qt::Key_Right), [this] { showNext(); });
    shortcut(QKeySequence::ZoomIn, [this] { zoom(kZoomStep); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { zoom(kZoomStep); });
    shortcut(QKeySequence::ZoomOut, [this] { zoom(1.0 / kZoomStep); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { zoom(0); });

    // Over the drawing: the old drawing, dimmed, with the busy indicator, while the next is
    // made; the cue at the ends of the list.
    stale_ = new QLabel(this);
    stale_->setObjectName(QStringLiteral("staleDrawing"));
    stale_->setAlignment(Qt::AlignCenter);
    stale_->setAutoFillBackground(true);
    auto* staleLayout = new QVBoxLayout(stale_);
    auto* staleBusy = new QProgressBar(stale_);
    staleBusy->setRange(0, 0);
    staleBusy->setTextVisible(false);
    staleBusy->setMaximumWidth(160);
    staleBusy_ = staleBusy;
    staleLayout->addStretch(1);
    staleLayout->addWidget(staleBusy_, 0, Qt::AlignCenter);
    staleLayout->addStretch(1);
    stale_->hide();

    endCue_ = new QLabel(this);
    endCue_->setObjectName(QStringLiteral("endCue"));
    endCue_->setAlignment(Qt::AlignCenter);
    endCue_->setAttribute(Qt::WA_TransparentForMouseEvents);
    endCue_->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(0, 0, 0, 170); color: white; border-radius: 8px; padding: 8px 16px; }"));
    endCue_->hide();
    endCueTimer_ = new QTimer(this);
    endCueTimer_->setSingleShot(true);
    endCueTimer_->setInterval(kEndCueTime);
    connect(endCueTimer_, &QTimer::timeout, endCue_, &QWidget::hide);

    actions_ = new PreviewActions(*this, [this] { return session_.get(); });

    resize(kFallbackSize);
    if (!files_.empty()) showFile(0);
}

QuickLookWindow::~QuickLookWindow() {
    // The controllers own their views; release them while the views still have their parent.
    listing_.reset();
    ahead_.clear();
    session_.reset();
}

void QuickLookWindow::closeEvent(QCloseEvent* event) {
    busyTimer_->stop();
    actions_->clear();  // the exported copies go
    listing_.reset();
    ahead_.clear();    // conversions made ahead stop too
    session_.reset();  // a conversion still running is stopped with its controller
    QWidget::closeEvent(event);
}

std::vector<std::filesystem::path> QuickLookWindow::filesAhead() const {
    std::vector<std::filesystem::path> files;
    for (const auto& session : ahead_) files.push_back(session->file());
    return files;
}

bool QuickLookWindow::isReadyAhead(const std::filesystem::path& file) const {
    return std::any_of(ahead_.begin(), ahead_.end(), [&](const auto& session) {
        return session->file() == file && session->state() == PreviewSession::State::Succeeded;
    });
}

std::unique_ptr<PreviewSession> QuickLookWindow::takeAhead(const std::filesystem::path& file) {
    const auto found = std::find_if(ahead_.begin(), ahead_.end(),
                                    [&](const auto& session) { return session->file() == file; });
    if (found == ahead_.end()) return nullptr;
    auto session = std::move(*found);
    ahead_.erase(found);
    session->disconnect(this);
    return session;
}

void QuickLookWindow::showFile(int index) {
    if (files_.empty()) return;
    if (index < 0 || index >= static_cast<int>(files_.size())) {
        if (index_ < 0) return;
        endCue_->setText(index < 0 ? tr("This is the first file.") : tr("This is the last file."));
        endCue_->adjustSize();
        endCue_->move((width() - endCue_->width()) / 2, height() - endCue_->height() - 24);
        endCue_->show();
        endCue_->raise();
        endCueTimer_->start();
        return;
    }
    if (index == index_ && session_) return;
    index_ = index;
    endCue_->hide();
    // Taken before the old content goes, which may change the window's size.
    if (isVisible()) centre_ = geometry().center();

    // The old drawing stays on screen, dimmed, until the new one can be drawn.
    QPixmap drawing;
    if (content_ && content_->isVisible() && isVisible()) drawing = content_->grab();
    releaseContent(std::move(session_));
    actions_->contentChanged(nullptr);
    paintReported_ = false;
    interimShown_ = false;
    updateTitle();

    session_ = takeAhead(files_[index_]);
    // Made ahead and failed: perhaps for want of a conversion slot; asked again in earnest.
    if (session_ && session_->state() == PreviewSession::State::Failed) session_.reset();
    const bool fresh = !session_;
    if (fresh) {
        session_ = std::make_unique<PreviewSession>(registry_, files_[index_]);
        connect(session_.get(), &PreviewSession::interimShown, this, [this] {
            busyTimer_->stop();
            interimShown_ = true;
            hideStale();
            place(session_->view(), fittedSize(session_->preferredContentSize(), screenBounds()));
            emit interimContentShown();
        });
        session_->wantInterimContent();
    }
    connect(session_.get(), &PreviewSession::finished, this, &QuickLookWindow::sessionFinished);
    if (session_->state() == PreviewSession::State::Succeeded) {
        // Ready: shown at once.
        sessionFinished();
        return;
    }
    if (!drawing.isNull()) {
        showStale(drawing);
    } else {
        busyTimer_->start();
    }
    if (fresh) session_->start();
    prepareNeighbours();
}

// Takes the shown view out of the window; a preview that is a neighbour of the file now
// chosen is kept ahead, any other is released.
void QuickLookWindow::releaseContent(std::unique_ptr<PreviewSession> previous) {
    delete fallback_;
    fallback_ = nullptr;
    if (content_) {
        contentLayout_->removeWidget(content_);
        content_->hide();
        content_->setParent(nullptr);
    }
    content_ = nullptr;
    if (previous) {
        previous->disconnect(this);
        if (previous->state() == PreviewSession::State::Succeeded) {
            ahead_.push_back(std::move(previous));
        }
    }
}

void QuickLookWindow::prepareNeighbours() {
    std::vector<std::filesystem::path> wanted;
    if (index_ >= 0 && index_ + 1 < static_cast<int>(files_.size())) wanted.push_back(files_[index_ + 1]);
    if (index_ > 0) wanted.push_back(files_[index_ - 1]);
    // Released: what is no neighbour any more (its conversion stops, its partial file goes).
    std::erase_if(ahead_, [&](const auto& session) {
        return std::find(wanted.begin(), wanted.end(), session->file()) == wanted.end();
    });
    // Only while the file chosen is drawn or done: it has the processors first.
    if (!preparingAhead_ || !session_ || session_->state() == PreviewSession::State::Running) return;
    for (const auto& file : wanted) {
        if (file == session_->file()) continue;
        if (std::any_of(ahead_.begin(), ahead_.end(),
                        [&](const auto& session) { return session->file() == file; }))
            continue;
        auto session = std::make_unique<PreviewSession>(registry_, file);
        session->setBackground();
        session->start();
        ahead_.push_back(std::move(session));
    }
}

// Title bars set their titles in a bold face of about the application's font.
QFontMetrics QuickLookWindow::titleMetrics() const {
    QFont font = QGuiApplication::font();
    font.setBold(true);
    return QFontMetrics(font);
}

QString QuickLookWindow::titleFor(const QString& name, const QString& place, const QFontMetrics& metrics,
                                  int textWidth) {
    const QString separator = QStringLiteral(" — ");
    const QString placed = place.isEmpty() ? QString() : separator + place;
    const QString full = name + placed + separator + kApplicationTitle;
    if (metrics.horizontalAdvance(full) <= textWidth) return full;
    if (metrics.horizontalAdvance(name + placed) <= textWidth) return name + placed;
    const int forName = std::max(0, textWidth - metrics.horizontalAdvance(placed));
    return metrics.elidedText(name, Qt::ElideMiddle, forName) + placed;
}

QSize QuickLookWindow::steadySize(QSize current, QSize wanted) {
    const auto similar = [](int now, int next) { return next * 3 >= now * 2 && next * 2 <= now * 3; };
    if (current.isEmpty() || !similar(current.width(), wanted.width()) || !similar(current.height(), wanted.height()))
        return wanted;
    return current.expandedTo(wanted);
}

void QuickLookWindow::updateTitle() {
    if (index_ < 0) return;
    const QString name = QFile::decodeName(files_[index_].filename().c_str());
    const QString place = files_.size() < 2 ? QString() : tr("%1 of %2").arg(index_ + 1).arg(files_.size());
    const QFontMetrics metrics = titleMetrics();
    // As wide as the whole title needs, within the cap and the screen.
    const int cap = std::min(kTitleWidthCap, screenBounds().width());
    const int wanted = metrics.horizontalAdvance(titleFor(name, place, metrics, INT_MAX)) + kTitleBarReserve;
    setMinimumWidth(std::max(kMinimumSize.width(), std::min(wanted, cap)));
    setMinimumHeight(kMinimumSize.height());
    setWindowTitle(titleFor(name, place, metrics, std::max(width(), minimumWidth()) - kTitleBarReserve));
}

void QuickLookWindow::takeListing(std::vector<std::filesystem::path> files) {
    if (index_ < 0 || files_.empty()) return;
    const std::filesystem::path current = files_[index_];
    auto at = std::find(files.begin(), files.end(), current);
    if (at == files.end()) {
        // The file given stays, at its place in the order, served or not.
        at = files.insert(std::lower_bound(files.begin(), files.end(), current,
                                           FolderListing::naturalLess),
                          current);
    }
    index_ = static_cast<int>(at - files.begin());
    files_ = std::move(files);
    updateTitle();
    prepareNeighbours();
    emit filesListed();
}

void QuickLookWindow::showStale(const QPixmap& drawing) {
    QPixmap dimmed(drawing.size());
    dimmed.setDevicePixelRatio(drawing.devicePixelRatio());
    dimmed.fill(Qt::white);  // the page the drawing was on
    {
        QPainter painter(&dimmed);
        painter.setOpacity(0.4);
        painter.drawPixmap(0, 0, drawing);
    }
    stale_->setPixmap(dimmed);
    stale_->setGeometry(rect());
    stale_->show();
    stale_->raise();
}

void QuickLookWindow::hideStale() {
    stale_->hide();
    stale_->clear();
}

void QuickLookWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stale_->setGeometry(rect());
    updateTitle();  // more or less of an elided name fits
}

bool QuickLookWindow::isBusyIndicatorShown() const {
    return isVisible() && stack_->currentWidget() == busyPage_;
}

void QuickLookWindow::showBusyIndicator() {
    if (!session_ || session_->state() != PreviewSession::State::Running) return;
    if (stale_->isVisible()) return;
    stack_->setCurrentWidget(busyPage_);
    if (!isVisible()) show();
}

void QuickLookWindow::sessionFinished() {
    busyTimer_->stop();
    if (session_->isBackground() && session_->state() == PreviewSession::State::Failed) {
        // Made ahead and failed, perhaps for want of a slot: asked again in earnest.
        session_ = std::make_unique<PreviewSession>(registry_, session_->file());
        connect(session_.get(), &PreviewSession::finished, this, &QuickLookWindow::sessionFinished);
        session_->start();
        return;
    }
    hideStale();
    if (interimShown_ && content_) {
        // The view replaces its first look in place (or says why it cannot): the window stays.
        contentOnScreen();
        return;
    }
    if (session_->state() == PreviewSession::State::Succeeded && session_->view()) {
        place(session_->view(), fittedSize(session_->preferredContentSize(), screenBounds()));
    } else {
        fallback_ = new FallbackView(session_->file(), session_->errorText());
        place(fallback_, fittedSize({}, screenBounds()));
    }
    contentOnScreen();
}

void QuickLookWindow::contentOnScreen() {
    // Queued: a file made ahead is shown within showFile(), before its caller could listen.
    QMetaObject::invokeMethod(this, &QuickLookWindow::contentShown, Qt::QueuedConnection);
    actions_->contentChanged(content_);
    prepareNeighbours();
    if (listFolder_ && !listing_ && index_ >= 0) {
        // After the first drawing: a large folder must not delay it.
        listing_ = std::make_unique<FolderListing>(files_[index_].parent_path(),
                                                   registry_.declaredMimeTypes());
        connect(listing_.get(), &FolderListing::listed, this, &QuickLookWindow::takeListing);
        listing_->start();
    }
}

void QuickLookWindow::place(QWidget* content, QSize size) {
    content_ = content;
    // A drawing is on its white page, also on a dark desktop: its transparent parts (the
    // views are translucent) show white, not the window's colour. A message is not a drawing.
    const bool drawing = content != fallback_;
    contentPage_->setPalette(drawing ? platform::pagePalette(palette()) : QPalette());
    contentPage_->setAutoFillBackground(drawing);
    contentLayout_->addWidget(content_);
    content_->show();
    content_->installEventFilter(this);
    // Ctrl+wheel reaches the scrolling views' viewports, not the content.
    for (auto* area : content_->findChildren<QAbstractScrollArea*>()) area->viewport()->installEventFilter(this);
    stack_->setCurrentWidget(contentPage_);
    if (!isVisible()) {
        resize(size);
        show();
        return;
    }
    // Until the window manager has placed the window its position is unknown (0,0 here):
    // a move would throw it into the corner, so it only takes its new size.
    if (!windowHandle() || !windowHandle()->isExposed()) {
        resize(size);
        return;
    }
    // Where the compositor places windows, a move is ignored and a resize grows the window
    // from its corner: files of similar size keep the window as it is.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        resize(steadySize(this->size(), size));
        return;
    }
    // Moving to another file: the new size grows or shrinks around the same centre, kept
    // on the screen.
    const QPoint centre = centre_.value_or(geometry().center());
    resize(size);
    QRect placed = frameGeometry().translated(centre - geometry().center());
    const QRect screen = this->screen()->availableGeometry();
    const auto within = [](int start, int length, int first, int end) {
        return std::clamp(start, first, std::max(first, end - length));
    };
    move(within(placed.left(), placed.width(), screen.left(), screen.left() + screen.width()),
         within(placed.top(), placed.height(), screen.top(), screen.top() + screen.height()));
}

bool QuickLookWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == content_ && !paintReported_) {
        paintReported_ = true;
        QTimer::singleShot(0, this, &QuickLookWindow::contentPainted);
    }
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta != 0) zoom(delta > 0 ? kZoomStep : 1.0 / kZoomStep);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// factor 0: back to the fitted view.
void QuickLookWindow::zoom(double factor) {
    if (!content_) return;
    if (session_ && session_->zoom(factor)) return;
    // A PDF view still waiting for its document has no scale to start from.
    if (session_ && session_->state() != PreviewSession::State::Succeeded) return;
    if (auto* pdfView = content_->findChild<QPdfView*>()) {
        if (factor > 0)
            zoomBy(*pdfView, factor);
        else
            zoomToFit(*pdfView);
    }
}

QSize QuickLookWindow::screenBounds() const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return {1280, 960};
    return screen->availableGeometry().size() * 0.9;
}

QSize QuickLookWindow::fittedSize(QSizeF content, QSize bounds) {
    if (content.isEmpty()) return kFallbackSize.boundedTo(bounds);
    const double scale = std::min({1.0, bounds.width() / content.width(),
                                   bounds.height() / content.height()});
    const QSize scaled(static_cast<int>(std::lround(content.width() * scale)),
                       static_cast<int>(std::lround(content.height() * scale)));
    return scaled.expandedTo(kMinimumSize).boundedTo(bounds.expandedTo(kMinimumSize));
}

}  // namespace vorrel::quicklook
