#pragma once
// PaneSelection: the one selected-pane state that the window's tabs and the View menu
// share. It starts on Home, lives in memory only, and announces every change.
//
// Thread-safety: GUI thread only.

#include <QObject>

#include "vorrel/SidebarPane.h"

namespace vorrel {

class PaneSelection : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    SidebarPane pane() const { return pane_; }
    // Sets the pane; paneChanged() is emitted only for a different pane.
    void setPane(SidebarPane pane) {
        if (pane == pane_) return;
        pane_ = pane;
        emit paneChanged(pane);
    }

signals:
    void paneChanged(vorrel::SidebarPane pane);

private:
    SidebarPane pane_ = SidebarPane::Home;
};

}  // namespace vorrel
