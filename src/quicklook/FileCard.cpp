#include "quicklook/FileCard.h"

#include <QDesktopServices>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>

namespace vorrel::quicklook {

namespace {

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

FileCard::FileCard(QUrl file, QWidget* parent) : QWidget(parent), file_(std::move(file)) {
    const QString path = file_.isLocalFile() ? file_.toLocalFile() : QString();
    const QFileInfo info(path);
    const QString name = path.isEmpty() ? file_.fileName() : info.fileName();
    const QMimeDatabase mimes;
    const QMimeType type = path.isEmpty() ? mimes.mimeTypeForUrl(file_) : mimes.mimeTypeForFile(info);

    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull() && !path.isEmpty()) icon = QFileIconProvider().icon(info);
    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(icon.pixmap(64, 64));

    name_ = plainLabel(name, this);
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    type_ = plainLabel(type.comment().isEmpty() ? type.name() : type.comment(), this);
    size_ = plainLabel(info.exists() ? QLocale().formattedDataSize(info.size()) : QString(), this);
    open_ = new QPushButton(tr("Open"), this);
    open_->setDefault(true);
    connect(open_, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(file_);
        close();
    });

    auto* layout = new QGridLayout(this);
    layout->addWidget(iconLabel, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(name_, 0, 1);
    layout->addWidget(type_, 1, 1);
    layout->addWidget(size_, 2, 1);
    layout->addWidget(open_, 3, 1, Qt::AlignRight);
    layout->setColumnStretch(1, 1);
    setWindowTitle(QStringLiteral("%1 — Vorrel Quick Look").arg(name));
    setMinimumWidth(320);
}

QString FileCard::nameText() const { return name_->text(); }
QString FileCard::typeText() const { return type_->text(); }
QString FileCard::sizeText() const { return size_->text(); }

void FileCard::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace vorrel::quicklook
