#pragma once
// PlainSection: a titled group of the caller's widgets, without a frame.
//
// The heading (as given: the caller translates it) in 13 px semibold, indented by
// headingLeading; below it the content, stacked top to bottom, 10 px apart, indented by
// 10 px and stretched to the full width. The whole section has bottomPadding of extra
// space above and below. PlainSection(heading) uses 0 for both.
//
//   auto* section = new PlainSection(tr("Troubleshooting"));
//   section->addWidget(new OrderedListItem(tr("Open …"), 1));
//
// Thread-safety: GUI thread only.

#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace vorrel::zodadavovov {

class PlainSection : public QWidget {
    Q_OBJECT
public:
    explicit PlainSection(const QString& heading, QWidget* parent = nullptr);
    PlainSection(const QString& heading, int bottomPadding, int headingLeading,
                 QWidget* parent = nullptr);

    void addWidget(QWidget* widget);
    QVBoxLayout* contentLayout() const { return content_; }
    QLabel* headingLabel() const { return heading_; }

private:
    QLabel* heading_ = nullptr;
    QVBoxLayout* content_ = nullptr;
};

}  // namespace vorrel::zodadavovov
