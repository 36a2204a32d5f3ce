#include "quicklook/FallbackView.h"

#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMimeDatabase>
#include <QPainter>
#include <QVBoxLayout>

namespace vorrel::quicklook {

namespace {
QIcon iconFor(const QString& path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull()) icon = QFileIconProvider().icon(QFileInfo(path));
    return icon;
}

// The file's icon, 128 px, drawn at paint time from the icon itself, so that a 2x screen
// gets the icon's own 256-pixel image instead of a 128-pixel one scaled up.
class IconView : public QWidget {
public:
    explicit IconView(QIcon icon, QWidget* parent) : QWidget(parent), icon_(std::move(icon)) {
        setFixedHeight(side);
        setMinimumWidth(side);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        icon_.paint(&painter, QRect((width() - side) / 2, 0, side, side));
    }

private:
    static constexpr int side = 128;
    QIcon icon_;
};
}  // namespace

FallbackView::FallbackView(const std::filesystem::path& file, const QString& errorText,
                           QWidget* parent)
    : QWidget(parent), nameLabel_(new QLabel(this)), errorLabel_(new QLabel(this)) {
    const QString path = QFile::decodeName(file.c_str());
    auto* iconView = new IconView(iconFor(path), this);

    nameLabel_->setText(QFile::decodeName(file.filename().c_str()));
    nameLabel_->setAlignment(Qt::AlignCenter);
    nameLabel_->setTextFormat(Qt::PlainText);
    QFont bold = nameLabel_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    nameLabel_->setFont(bold);

    errorLabel_->setText(errorText);
    errorLabel_->setAlignment(Qt::AlignCenter);
    errorLabel_->setTextFormat(Qt::PlainText);
    errorLabel_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(iconView);
    layout->addWidget(nameLabel_);
    layout->addWidget(errorLabel_);
    layout->addStretch(1);
}

QString FallbackView::fileName() const { return nameLabel_->text(); }
QString FallbackView::errorText() const { return errorLabel_->text(); }

}  // namespace vorrel::quicklook
