#include "quicklook/QuickLookWindow.h"

#include <QAbstractScrollArea>
#include <QFile>
#include <QGuiApplication>
#include <QKeySequence>
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
#include <cmath>

#include "quicklook/FallbackView.h"
#include "preview/zoom/PdfZoom.h"
#include "quicklook/PreviewSession.h"

namespace vorrel::quicklook {

QuickLookWindow::QuickLookWindow(ExtensionRegistry& registry,
                                 std::vector<std::filesystem::path> files, QWidget* parent)
    : QWidget(parent), registry_(registry), files_(std::move(files)) {
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
    shortcut(QKeySequence(Qt::Key_Left), [this] { showFile(index_ - 1); });
    shortcut(QKeySequence(Qt::Key_Right), [this] { showFile(index_ + 1); });
    shortcut(QKeySequence::ZoomIn, [this] { zoom(kZoomStep); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { zoom(kZoomStep); });
    shortcut(QKeySequence::ZoomOut, [this] { zoom(1.0 / kZoomStep); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { zoom(0); });

    resize(kFallbackSize);
    if (!files_.empty()) showFile(0);
}

QuickLookWindow::~QuickLookWindow() {
    // The controller owns its view; release it while the view still has its parent here.
    session_.reset();
}

void QuickLookWindow::closeEvent(QCloseEvent* event) {
    busyTimer_->stop();
    session_.reset();  // a conversion still running is stopped with its controller
    QWidget::closeEvent(event);
}

void QuickLookWindow::showFile(int index) {
    if (files_.empty()) return;
    index = std::clamp(index, 0, static_cast<int>(files_.size()) - 1);
    if (index == index_ && session_) return;
    index_ = index;
    // Taken before the old content goes, which may change the window's size.
    if (isVisible()) centre_ = geometry().center();

    delete fallback_;
    fallback_ = nullptr;
    session_.reset();
    content_ = nullptr;
    paintReported_ = false;
    interimShown_ = false;

    setWindowTitle(QFile::decodeName(files_[index_].filename().c_str()));
    session_ = std::make_unique<PreviewSession>(registry_, files_[index_]);
    connect(session_.get(), &PreviewSession::finished, this, &QuickLookWindow::sessionFinished);
    connect(session_.get(), &PreviewSession::interimShown, this, [this] {
        busyTimer_->stop();
        interimShown_ = true;
        place(session_->view(), fittedSize(session_->preferredContentSize(), screenBounds()));
        emit interimContentShown();
    });
    session_->wantInterimContent();
    busyTimer_->start();
    session_->start();
}

bool QuickLookWindow::isBusyIndicatorShown() const {
    return isVisible() && stack_->currentWidget() == busyPage_;
}

void QuickLookWindow::showBusyIndicator() {
    if (!session_ || session_->state() != PreviewSession::State::Running) return;
    stack_->setCurrentWidget(busyPage_);
    if (!isVisible()) show();
}

void QuickLookWindow::sessionFinished() {
    busyTimer_->stop();
    if (interimShown_ && content_) {
        // The view replaces its first look in place (or says why it cannot): the window stays.
        emit contentShown();
        return;
    }
    if (session_->state() == PreviewSession::State::Succeeded && session_->view()) {
        place(session_->view(), fittedSize(session_->preferredContentSize(), screenBounds()));
    } else {
        fallback_ = new FallbackView(session_->file(), session_->errorText());
        place(fallback_, fittedSize({}, screenBounds()));
    }
    emit contentShown();
}

void QuickLookWindow::place(QWidget* content, QSize size) {
    content_ = content;
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
