#pragma once
// FileCard: what Space in Nemo shows for a file Vorrel does not preview: the file's icon,
// name, type and size, and an "Open" button that hands it to its default application.
// Space and Escape close it, as they close a preview.
//
// Thread-safety: GUI thread only.

#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;

namespace vorrel::quicklook {

class FileCard : public QWidget {
    Q_OBJECT
public:
    explicit FileCard(QUrl file, QWidget* parent = nullptr);

    const QUrl& file() const { return file_; }
    QString nameText() const;
    QString typeText() const;
    QString sizeText() const;
    QPushButton* openButton() const { return open_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QUrl file_;
    QLabel* name_ = nullptr;
    QLabel* type_ = nullptr;
    QLabel* size_ = nullptr;
    QPushButton* open_ = nullptr;
};

}  // namespace vorrel::quicklook
