#include "widgets/PlainSection.h"

#include <QLabel>
#include <QVBoxLayout>

#include "widgets/Style.h"

namespace vorrel::zodadavovov {

PlainSection::PlainSection(const QString& heading, QWidget* parent)
    : PlainSection(heading, 0, 0, parent) {}

PlainSection::PlainSection(const QString& heading, int bottomPadding, int headingLeading,
                           QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, bottomPadding, 0, bottomPadding);
    layout->setSpacing(6);

    heading_ = new QLabel(heading);
    heading_->setTextFormat(Qt::PlainText);
    heading_->setFont(style::systemFont(13, QFont::DemiBold));
    heading_->setContentsMargins(headingLeading, 0, 0, 0);
    layout->addWidget(heading_);

    content_ = new QVBoxLayout;
    content_->setContentsMargins(10, 0, 0, 0);
    content_->setSpacing(10);
    layout->addLayout(content_);
}

void PlainSection::addWidget(QWidget* widget) { content_->addWidget(widget); }

}  // namespace vorrel::zodadavovov
