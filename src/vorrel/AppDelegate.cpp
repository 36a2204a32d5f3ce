#include "vorrel/AppDelegate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QToolBar>

namespace vorrel {

void AppDelegate::applicationWillFinishLaunching(QWidget* window) {
    Q_ASSERT(window && window->isWindow());
    // Changing the flags of a shown window unmaps and maps it again, which some window
    // managers answer by leaving it unmapped: it is styled while it is still hidden.
    Q_ASSERT(!window->isVisible());
    if (window_) window_->removeEventFilter(this);
    window_ = window;

    window_->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    if (auto* main = qobject_cast<QMainWindow*>(window_.data())) {
        main->setUnifiedTitleAndToolBarOnMac(true);
        main->setDockOptions(main->dockOptions() & ~QMainWindow::AllowTabbedDocks);
        main->setContextMenuPolicy(Qt::NoContextMenu);  // no toolbar customisation menu
        for (QToolBar* toolBar : main->findChildren<QToolBar*>()) {
            toolBar->setMovable(false);
            toolBar->setFloatable(false);
            toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        }
    }
    window_->installEventFilter(this);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Close &&
        applicationShouldTerminateAfterLastWindowClosed()) {
        // The main window is the application: closing it quits even while a helper
        // window (the UTI finder) is open.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vorrel
