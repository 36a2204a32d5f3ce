#include "widgets/OrderedListItem.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include "widgets/Style.h"
#include "widgets/UrlOpener.h"

namespace vorrel::zodadavovov {

namespace {

// Room beside the text for the focus frame (the line's own leading gives room above and
// below); the spacing to the number shrinks by as much, so the text stays where it was.
constexpr int frameInset = 2;

// A step's text. Reached by Tab, it draws the style's focus frame around itself, as a
// button does: the dotted outline a label puts round its focused link alone is too faint
// to find.
class StepLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void focusInEvent(QFocusEvent* event) override {
        const Qt::FocusReason reason = event->reason();
        keyboardFocus_ = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                         reason == Qt::ShortcutFocusReason;
        QLabel::focusInEvent(event);
        update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        keyboardFocus_ = false;
        QLabel::focusOutEvent(event);
        update();
    }
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!keyboardFocus_ || !hasFocus()) return;
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(backgroundRole());
        QPainter painter(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }

private:
    bool keyboardFocus_ = false;
};

}  // namespace

OrderedListItem::OrderedListItem(const QString& markdown, int order, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5 - frameInset);

    number_ = new QLabel(QString::number(order) + QLatin1Char('.'));
    number_->setTextFormat(Qt::PlainText);
    number_->setFont(style::systemFont(13));
    style::setForeground(number_, style::Foreground::Tertiary);
    number_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    number_->setFixedWidth(numberColumnWidth);

    text_ = new StepLabel;
    text_->setContentsMargins(frameInset, 0, frameInset, 0);
    text_->setTextFormat(Qt::MarkdownText);
    text_->setText(markdown);
    text_->setFont(style::systemFont(13));
    style::setForeground(text_, style::Foreground::Secondary);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setWordWrap(true);
    // Only a step with a link is a Tab stop (its focused link shows): Tab skips the rest.
    const bool hasLink = markdown.contains(QLatin1String("]("));
    text_->setTextInteractionFlags(hasLink ? Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard
                                           : Qt::LinksAccessibleByMouse);
    if (!hasLink) text_->setFocusPolicy(Qt::NoFocus);
    // A new size policy drops the height-for-width flag that word wrapping set; without it
    // layouts size the text by its width-agnostic hint (two lines for a short rich step).
    QSizePolicy textPolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    textPolicy.setHeightForWidth(true);
    text_->setSizePolicy(textPolicy);
    connect(text_, &QLabel::linkActivated, this, [](const QString& link) { openUrl(QUrl(link)); });

    // Same font and top alignment in both columns keeps their first baselines level.
    layout->addWidget(number_, 0, Qt::AlignTop);
    layout->addWidget(text_, 1);
}

}  // namespace vorrel::zodadavovov
