#pragma once
// PageNavigator: moves a QPdfView that shows one page at a time through a document's pages,
// and says where the reader is.
//
// While attached to a view whose document has more than one page:
//  - Page Down and Page Up go to the next and the previous page, Home and End to the first and
//    the last (kKeys, move()); the scroll wheel moves one page per notch (120 units of angle, summed, so
//    touchpads' small steps add up); nothing moves past either end;
//  - a small label over the bottom of the view says "Page N of M" (made when first shown);
//  - pageChanged(page) is emitted (0-based) after every move.
// Other keys and events go on to the view as before (zoom, closing, moving between files).
//
// Thread-safety: GUI thread only. The navigator is a child of the view and goes with it.

#include <QObject>
#include <QString>

#include <array>
#include <utility>

class QLabel;
class QPdfView;
class QWidget;

namespace vorrel {

class PageNavigator : public QObject {
    Q_OBJECT
public:
    // Attaches to `view` (which must have its document) and shows `page`.
    PageNavigator(QPdfView* view, int page = 0);

    // What the page keys do, and the keys themselves (also for a document's first page, which
    // keeps them until the PDF's navigator can take them).
    enum class Move { next, previous, first, last };
    static constexpr std::array<std::pair<int, Move>, 4> kKeys{{{Qt::Key_PageDown, Move::next},
                                                                {Qt::Key_PageUp, Move::previous},
                                                                {Qt::Key_Home, Move::first},
                                                                {Qt::Key_End, Move::last}}};

    int currentPage() const { return page_; }
    int pageCount() const;
    void goTo(int page);
    void move(Move move);
    // A line the label shows on the last page instead of its number (also for one page).
    void setLastPageNote(const QString& note);
    // "Page 3 of 311".
    static QString pageText(int page, int pageCount);

    // The small label over the bottom of `over` (objectName "pageLabel"), and its placement
    // there; shared with the first look at a document's first page.
    static QLabel* makeLabel(QWidget* over);
    static void placeLabel(QLabel* label, const QWidget* over);

signals:
    void pageChanged(int page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeLabel();

    QPdfView* view_;
    QLabel* label_ = nullptr;
    int page_ = 0;
    int wheelAngle_ = 0;
    QString lastPageNote_;
};

}  // namespace vorrel
