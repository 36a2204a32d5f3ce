#include "vorrel/SettingsWriteMessage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace vorrel {

SettingsWriteMessage::SettingsWriteMessage(QWidget* window) : QFrame(window), label_(new QLabel) {
    setObjectName(QStringLiteral("SettingsWriteMessage"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);

    auto* icon = new QLabel;
    const int extent = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(extent, extent));
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);  // file names and error texts are not markup
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* close = new QToolButton;
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(tr("Close"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(label_, 1);
    layout->addWidget(close, 0, Qt::AlignTop);

    hide();
    window->installEventFilter(this);
}

void SettingsWriteMessage::watch(const Prefs::PrefBase& pref) {
    connect(&pref, &Prefs::PrefBase::writeFailed, this, &SettingsWriteMessage::showFailure);
    connect(&pref, &Prefs::PrefBase::changed, this, [this, &pref] {
        hide();
        showProblemOf(pref);
    });
    showProblemOf(pref);
}

void SettingsWriteMessage::showProblemOf(const Prefs::PrefBase& pref) {
    if (const auto problem = pref.readProblem())
        showReadProblem(QString::fromStdString(problem->file.string()),
                        QString::fromStdString(problem->message));
}

void SettingsWriteMessage::showReadProblem(const QString& file, const QString& problem) {
    label_->setText(tr("The settings file “%1” could not be read: %2. The defaults are in use "
                       "for what could not be read.")
                        .arg(file, problem));
    place();
    show();
    raise();
}

void SettingsWriteMessage::showFailure(const QString& file, const QString& error) {
    label_->setText(file.isEmpty() ? tr("The setting could not be saved: %1").arg(error)
                                   : tr("The setting could not be saved in “%1”: %2").arg(file, error));
    place();
    show();
    raise();
}

QString SettingsWriteMessage::text() const {
    return label_->text();
}

bool SettingsWriteMessage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize && isVisible()) place();
    return QFrame::eventFilter(watched, event);
}

void SettingsWriteMessage::place() {
    // Across the bottom of the window, over its content, inset a little from the edges.
    const QRect area = parentWidget()->rect();
    const int margin = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    const int width = area.width() - 2 * margin;
    const int height = heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height();
    setGeometry(area.left() + margin, area.bottom() - margin - height + 1, width, height);
}

}  // namespace vorrel
