#pragma once
// FallbackView: what the service shows when a preview fails: the file's icon, its name and
// the error's text.
//
// Thread-safety: GUI thread only.

#include <QWidget>

#include <filesystem>

class QLabel;

namespace vorrel::quicklook {

class FallbackView : public QWidget {
    Q_OBJECT
public:
    FallbackView(const std::filesystem::path& file, const QString& errorText,
                 QWidget* parent = nullptr);

    QString fileName() const;
    QString errorText() const;

private:
    QLabel* nameLabel_;
    QLabel* errorLabel_;
};

}  // namespace vorrel::quicklook
