#pragma once
// UTIFinder: the controller of the one UTI finder window of the application.
//
// shared() creates the controller on first use and keeps it until the application ends;
// every later call returns the same one, so there is one finder window per run.
//
// What happens when the window is made (first shared() call):
//   1. A top-level window with a 400 x 320 content area, titled "MIME Type Finder", closable
//      and resizable but without minimize or maximize buttons, showing a fresh
//      UTIFinderView. Escape and Ctrl+W close it.
//   2. The geometry saved under "UTIFinderWindow" in the application's standard suite
//      (platform::Suite::standard()) is restored; without one the window is centred on
//      the screen.
//   3. From then on the geometry is saved under "UTIFinderWindow" whenever the window is
//      hidden or closed and shortly after it is moved or resized, so size and position
//      carry over to the next launch.
//
// Thread-safety: GUI thread only; QApplication must exist before the first shared().

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "widgets/UTIFile.h"

class QTimer;

namespace vorrel::zodadavovov {

class UTIFinderView;

class UTIFinder : public QObject {
    Q_OBJECT
public:
    // The key under which the window's geometry is kept.
    static constexpr char autosaveName[] = "UTIFinderWindow";

    static UTIFinder& shared();
    // What the application says of each file the finder lists (UTIFile::Verdict): kept for
    // the window when it is made, and given to it at once when it exists.
    static void setVerdict(UTIFile::Verdict verdict);

    QWidget* window() const { return window_; }
    UTIFinderView* view() const { return view_; }

public slots:
    // Shows the window, brings it to the front and gives it focus.
    void showWindow();
    // Writes the current geometry under autosaveName now.
    void saveFrame();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    UTIFinder();
    ~UTIFinder() override;
    void restoreFrame();

    QPointer<QWidget> window_;
    UTIFinderView* view_ = nullptr;
    QTimer* saveTimer_ = nullptr;
};

}  // namespace vorrel::zodadavovov
