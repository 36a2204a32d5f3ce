#pragma once
// PageCentring: keeps what a QPdfView shows centred vertically in its viewport when it is
// shorter than the viewport (zoomed out, or a wide page in a tall window), as QPdfView already
// centres it horizontally.
//
// QPdfView puts its first page below the top document margin. While attached, the centring
// works out the height the view draws its pages at (the page shown in SinglePage mode, the
// column of pages in MultiPage mode), and when that leaves free height in the viewport it sets
// the top and bottom margins to split the free height evenly (each may then be below the base
// margin, so a page fitted to the viewport's height is drawn whole). Otherwise the pages scroll
// and the base margins stand. It does so again whenever the viewport's size, the zoom, the
// page mode, the page spacing, the page shown or the document changes.
//
// The base margins are the view's margins when the centring is attached; the left and right
// margins are never changed. Sizes worked out from the view (its row size, its fitted scale)
// use baseMargins(), not documentMargins(). The page sizes QPdfView computes do not depend on
// the top and bottom margins (Qt 6.4 fits a page into the viewport's whole height minus the
// page spacing), so setting them never makes the view refit.
//
// Thread-safety: GUI thread only. The centring is a child of the view and goes with it.

#include <QMargins>
#include <QObject>

class QPdfView;

namespace vorrel {

class PageCentring : public QObject {
    Q_OBJECT
public:
    explicit PageCentring(QPdfView* view);

    // The margins of `view` apart from centring: its base margins when a centring is attached,
    // else its document margins.
    static QMargins baseMargins(const QPdfView& view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centre();
    void watchDocument();

    QPdfView* view_;
    QObject* viewport_;  // only compared with the watched object
    QMargins base_;
};

}  // namespace vorrel
