#include "widgets/UTIFinder.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <exception>
#include <optional>

#include "settings/Suite.h"
#include "widgets/LibraryBundle.h"
#include "widgets/UTIFinderView.h"

namespace vorrel::zodadavovov {

namespace {
UTIFinder* sharedFinder = nullptr;
UTIFile::Verdict& finderVerdict() {
    static UTIFile::Verdict verdict;
    return verdict;
}
}  // namespace

void UTIFinder::setVerdict(UTIFile::Verdict verdict) {
    finderVerdict() = std::move(verdict);
    if (sharedFinder) sharedFinder->view_->setVerdict(finderVerdict());
}

UTIFinder& UTIFinder::shared() {
    if (!sharedFinder) {
        sharedFinder = new UTIFinder;
        // Goes away with the application, while widgets can still be destroyed (a
        // post routine runs at the start of the application's teardown).
        qAddPostRoutine([] {
            delete sharedFinder;
            sharedFinder = nullptr;
        });
    }
    return *sharedFinder;
}

UTIFinder::UTIFinder() {
    window_ = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                       Qt::WindowCloseButtonHint);
    window_->setWindowTitle(libraryText(ZV_TEXT("MIME Type Finder")));
    // A utility window: closing the main window still quits while the finder is open.
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new UTIFinderView;
    view_->setVerdict(finderVerdict());
    layout->addWidget(view_);
    window_->resize(400, 320);
    restoreFrame();
    // A helper window closes from the keyboard as dialogs do.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* close = new QShortcut(keys, window_);
        close->setContext(Qt::WindowShortcut);
        connect(close, &QShortcut::activated, window_, &QWidget::close);
    }

    saveTimer_ = new QTimer(this);
    saveTimer_->setSingleShot(true);
    // Moves and resizes come in bursts while the user drags; one write per burst.
    saveTimer_->setInterval(400);
    connect(saveTimer_, &QTimer::timeout, this, &UTIFinder::saveFrame);
    window_->installEventFilter(this);
}

UTIFinder::~UTIFinder() {
    if (window_) {
        window_->removeEventFilter(this);
        if (saveTimer_->isActive()) saveFrame();
        delete window_;
    }
}

void UTIFinder::showWindow() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void UTIFinder::saveFrame() {
    saveTimer_->stop();
    const QByteArray state = window_->saveGeometry();
    try {
        platform::Suite::standard()->setObject(
            platform::Value(platform::Bytes(state.begin(), state.end())), autosaveName);
    } catch (const std::exception&) {
        // A window frame that cannot be remembered is not worth interrupting the user.
    }
}

void UTIFinder::restoreFrame() {
    std::optional<platform::Value> saved;
    try {
        saved = platform::Suite::standard()->objectForKey(autosaveName);
    } catch (const std::exception&) {
        // No usable suite (no bundle identifier): the window is centred as on a first launch.
    }
    if (saved) {
        if (const auto* bytes = saved->get<platform::Bytes>()) {
            const QByteArray state(reinterpret_cast<const char*>(bytes->data()),
                                   static_cast<qsizetype>(bytes->size()));
            if (window_->restoreGeometry(state)) return;
        }
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window_->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                                 window_->size(), screen->availableGeometry()));
}

bool UTIFinder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (window_->isVisible()) saveTimer_->start();
            break;
        case QEvent::Hide:
        case QEvent::Close:
            saveFrame();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vorrel::zodadavovov
