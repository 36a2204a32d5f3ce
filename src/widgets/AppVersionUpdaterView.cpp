#include "widgets/AppVersionUpdaterView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "widgets/AppIconView.h"
#include "widgets/AppInfo.h"
#include "widgets/DefaultButton.h"
#include "widgets/LibraryBundle.h"
#include "widgets/QuickLookHelpButton.h"
#include "widgets/Style.h"

namespace vorrel::zodadavovov {

AppVersionUpdaterView::AppVersionUpdaterView(Options options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(3, 3, 3, 3);
    top->addWidget(new AppIconView(options_.iconSize), 0, Qt::AlignVCenter);
    top->addStretch(1);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    name_ = new QLabel(appinfo::displayName());
    name_->setTextFormat(Qt::PlainText);
    name_->setFont(style::systemFont(24, QFont::Medium));
    texts->addWidget(name_, 0, Qt::AlignRight);
    version_ = new QLabel(appinfo::versionLine());
    version_->setTextFormat(Qt::PlainText);
    version_->setFont(style::systemFont(13));
    style::setForeground(version_, style::Foreground::Secondary);
    texts->addWidget(version_, 0, Qt::AlignRight);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 8, 0, 0);
    buttons->setSpacing(10);
    help_ = new QuickLookHelpButton;
    check_ = new QPushButton(libraryText(ZV_TEXT("Check for Updates…")));
    check_->setDefault(true);
    connect(check_, &QPushButton::clicked, this, [this] {
        if (options_.checkForUpdates) options_.checkForUpdates();
    });
    addDefaultButtonShortcut(this, check_);
    buttons->addStretch(1);
    buttons->addWidget(help_, 0, Qt::AlignVCenter);
    buttons->addWidget(check_, 0, Qt::AlignVCenter);
    texts->addLayout(buttons);
    top->addLayout(texts);
    layout->addLayout(top);

    automatic_ = new QCheckBox(libraryText(ZV_TEXT("Automatically check for updates")));
    automatic_->setChecked(options_.getAutomaticallyCheck && options_.getAutomaticallyCheck());
    connect(automatic_, &QCheckBox::toggled, this, [this](bool on) {
        if (options_.setAutomaticallyCheck) options_.setAutomaticallyCheck(on);
        emit automaticallyCheckForUpdatesToggled(on);
    });
    layout->addWidget(automatic_);
}

bool AppVersionUpdaterView::automaticallyCheckForUpdates() const { return automatic_->isChecked(); }

void AppVersionUpdaterView::setAutomaticallyCheckForUpdates(bool on) {
    // The value already changed at its source; telling the setter again would echo it.
    const QSignalBlocker blocker(automatic_);
    automatic_->setChecked(on);
}

void AppVersionUpdaterView::setCheckForUpdatesEnabled(bool enabled) { check_->setEnabled(enabled); }

}  // namespace vorrel::zodadavovov
