#pragma once
// OrderedListItem: one numbered step of a list, e.g. "1.  Open the File Manager …".
//
// The number ("<order>.", verbatim) sits in a column exactly 12 px wide, right-aligned,
// 13 px, tertiary colour, so rows line up whatever the number; 5 px to its right the text
// (as given: the caller translates it) is rendered from Markdown, 13 px, secondary
// colour, wrapping; its links are active and open through openUrl(). A step with a link
// is a Tab stop and shows the style's focus frame when Tab reaches it; Tab skips the others.
//
// Thread-safety: GUI thread only.

#include <QString>
#include <QWidget>

class QLabel;

namespace vorrel::zodadavovov {

class OrderedListItem : public QWidget {
    Q_OBJECT
public:
    static constexpr int numberColumnWidth = 12;

    OrderedListItem(const QString& markdown, int order, QWidget* parent = nullptr);

    QLabel* numberLabel() const { return number_; }
    QLabel* textLabel() const { return text_; }

private:
    QLabel* number_ = nullptr;
    QLabel* text_ = nullptr;
};

}  // namespace vorrel::zodadavovov
