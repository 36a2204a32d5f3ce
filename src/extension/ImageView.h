#pragma once
// ImageView: shows one image, scaled down proportionally to fit (never up), centred, on a
// transparent background so that an image with alpha shows what lies behind it.
//
// Thread-safety: GUI thread only.

#include <QImage>
#include <QWidget>

namespace vorrel {

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    void setImage(QImage image);

    // Where the image is drawn inside `bounds` (the widget's rectangle when shown).
    QRect imageRect(QRect bounds) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

}  // namespace vorrel
