#include "widgets/AppBrandingView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "widgets/AppIconView.h"
#include "widgets/AppInfo.h"
#include "widgets/Style.h"

namespace vorrel::zodadavovov {

AppBrandingView::AppBrandingView(Options options, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);

    if (options.icon) {
        auto* label = new QLabel;
        label->setFixedSize(options.iconSize, options.iconSize);
        label->setPixmap(options.icon->pixmap(QSize(options.iconSize, options.iconSize),
                                              devicePixelRatioF()));
        label->setScaledContents(true);
        icon_ = label;
    } else {
        icon_ = new AppIconView(options.iconSize);
    }
    layout->addWidget(icon_, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    name_ = new QLabel(options.name.value_or(appinfo::displayName()));
    name_->setTextFormat(Qt::PlainText);
    name_->setFont(style::systemFont(24, QFont::DemiBold));
    name_->setAlignment(Qt::AlignHCenter);
    name_->setWordWrap(true);
    texts->addWidget(name_);
    texts->addSpacing(5);
    tagline_ = new QLabel(options.tagline);
    tagline_->setTextFormat(Qt::PlainText);
    tagline_->setFont(style::systemFont(13));
    style::setForeground(tagline_, style::Foreground::Secondary);
    tagline_->setAlignment(Qt::AlignHCenter);
    tagline_->setWordWrap(true);
    texts->addWidget(tagline_);
    layout->addLayout(texts);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
}

}  // namespace vorrel::zodadavovov
