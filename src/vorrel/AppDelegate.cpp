#include "vorrel/AppDelegate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMainWindow>
#include <QToolBar>

namespace vorrel {

void AppDelegate::applicationDidFinishLaunching() {
    QWidget* first = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        // Menus and tool tips are top-level widgets too; only a real window counts.
        if (widget->isWindow() && widget->windowType() == Qt::Window && !widget->isHidden()) {
            first = widget;
            break;
        }
    }
    if (!first) return;
    if (window_) window_->removeEventFilter(this);
    window_ = first;

    window_->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    if (window_->layout()) window_->layout()->setSizeConstraint(QLayout::SetFixedSize);
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
    // setWindowFlag hides a shown window; show it again as it was.
    window_->show();
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
