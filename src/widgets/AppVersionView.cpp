#include "widgets/AppVersionView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/AppIconView.h"
#include "widgets/AppInfo.h"
#include "widgets/LibraryBundle.h"
#include "widgets/QuickLookHelpButton.h"
#include "widgets/Style.h"
#include "widgets/UrlOpener.h"

namespace vorrel::zodadavovov {

AppVersionView::AppVersionView(Options options, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(new AppIconView(options.iconSize), 0, Qt::AlignVCenter);
    layout->addStretch(1);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    name_ = new QLabel(appinfo::displayName());
    name_->setTextFormat(Qt::PlainText);
    name_->setFont(style::systemFont(24, QFont::DemiBold));
    texts->addWidget(name_);
    version_ = new QLabel(appinfo::versionLine());
    version_->setTextFormat(Qt::PlainText);
    version_->setFont(style::systemFont(13));
    texts->addWidget(version_);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 10, 0, 0);
    buttons->setSpacing(12);
    if (options.showHelpButton) {
        help_ = new QuickLookHelpButton;
        buttons->addWidget(help_, 0, Qt::AlignVCenter);
    }
    website_ = new QPushButton(libraryText(ZV_TEXT("Website")));
    connect(website_, &QPushButton::clicked, this, [address = options.website] {
        if (address) openUrl(QUrl(*address, QUrl::StrictMode));
    });
    contact_ = new QPushButton(libraryText(ZV_TEXT("Contact Us")));
    connect(contact_, &QPushButton::clicked, this, [email = options.email] {
        if (email) openUrl(QUrl(QStringLiteral("mailto:") + *email, QUrl::StrictMode));
    });
    buttons->addWidget(website_, 0, Qt::AlignVCenter);
    buttons->addWidget(contact_, 0, Qt::AlignVCenter);
    buttons->addStretch(1);
    texts->addLayout(buttons);
    layout->addLayout(texts);
}

}  // namespace vorrel::zodadavovov
