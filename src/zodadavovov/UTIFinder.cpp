#include "zodadavovov/UTIFinder.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/Suite.h"
#include "zodadavovov/LibraryBundle.h"
#include "zodadavovov/UTIFinderView.h"

namespace vorrel::zodadavovov {

UTIFinder& UTIFinder::shared() {
    // Parented to the application object, so it goes away with the application (and its
    // window with it), after a last save of the frame.
    static UTIFinder* instance = [] {
        auto* finder = new UTIFinder;
        finder->setParent(QCoreApplication::instance());
        return finder;
    }();
    return *instance;
}

UTIFinder::UTIFinder() {
    window_ = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                       Qt::WindowCloseButtonHint);
    window_->setWindowTitle(libraryText(ZV_TEXT("UTI Finder")));
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new UTIFinderView;
    layout->addWidget(view_);
    window_->resize(400, 320);
    restoreFrame();

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
    platform::Suite::standard()->setObject(
        platform::Value(platform::Bytes(state.begin(), state.end())), autosaveName);
}

void UTIFinder::restoreFrame() {
    const auto saved = platform::Suite::standard()->objectForKey(autosaveName);
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
