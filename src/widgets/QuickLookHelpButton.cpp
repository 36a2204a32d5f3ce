#include "widgets/QuickLookHelpButton.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/LibraryBundle.h"
#include "widgets/MakerLinks.h"
#include "widgets/Style.h"
#include "widgets/SymbolIcon.h"
#include "widgets/UrlOpener.h"

namespace vorrel::zodadavovov {

namespace {
// The whole Markdown text is the catalogue key, address included.
constexpr std::string_view helpText =
    ZV_TEXT("Quick Look not working? Visit [Troubleshooting Quick Look Extensions]"
            "(https://quarnix.app/help/troubleshooting-quick-look-extensions/) for help.");
static_assert(helpText.find(maker::troubleshootingPage) != std::string_view::npos,
              "the help text must link the troubleshooting page");
}  // namespace

QuickLookHelpButton::QuickLookHelpButton(QWidget* parent) : QToolButton(parent) {
    setIcon(symbolIcon("exclamationmark.bubble"));
    setIconSize(QSize(15, 15));
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(libraryText(ZV_TEXT("Troubleshooting Quick Look Extensions")));
    connect(this, &QToolButton::clicked, this, &QuickLookHelpButton::showPopover);
}

bool QuickLookHelpButton::isPopoverShown() const { return popover_ && popover_->isVisible(); }

void QuickLookHelpButton::showPopover() {
    if (!popover_) {
        popover_ = new QFrame(this, Qt::Popup);
        popover_->setFrameShape(QFrame::StyledPanel);
        auto* layout = new QVBoxLayout(popover_);
        layout->setContentsMargins(15, 10, 15, 10);
        label_ = new QLabel;
        label_->setTextFormat(Qt::MarkdownText);
        label_->setText(libraryText(helpText.data()));
        label_->setFont(style::systemFont(13));
        label_->setAlignment(Qt::AlignHCenter);
        label_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(label_, &QLabel::linkActivated, this, [](const QString& link) { openUrl(QUrl(link)); });
        layout->addWidget(label_);
    }
    popover_->adjustSize();
    const QPoint below = mapToGlobal(QPoint(width() / 2, height()));
    popover_->move(below.x() - popover_->width() / 2, below.y() + 4);
    popover_->show();
}

}  // namespace vorrel::zodadavovov
