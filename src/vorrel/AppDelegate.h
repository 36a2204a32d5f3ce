#pragma once
// AppDelegate: what the application does at the edges of its life.
//
// applicationWillFinishLaunching(window) takes the application's window before its first
// show() (asserted: restyling a shown window unmaps it) and styles it for a single
// fixed-size window:
// the size follows the fixed content (no resizing, no maximize button), toolbars (if any)
// show icons only and cannot be moved, floated or customised, and closing the window
// quits the application.
// applicationShouldTerminateAfterLastWindowClosed() answers true.
//
// Thread-safety: GUI thread only.

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace vorrel {

class AppDelegate : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void applicationWillFinishLaunching(QWidget* window);
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }

    QWidget* window() const { return window_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
};

}  // namespace vorrel
