#pragma once
// ImageView: shows one image on a transparent background, so that an image with alpha
// shows what lies behind it.
//
// The image's natural size is its size in points (setNaturalSize(); its device-independent
// size until set): 1:1, as a PDF page is at zoom 1. Fitted (zoom() == 0, the start) it is
// scaled down proportionally to fit the view, never up, and centred. setZoom(z) draws it at
// z times its natural size, centred while smaller than the view, with scroll bars once
// larger. A shrunk image is scaled with area averaging, so thin lines stay whole.
//
// Thread-safety: GUI thread only.

#include <QAbstractScrollArea>
#include <QImage>
#include <QSizeF>

namespace vorrel {

class ImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double kMinimumZoom = 0.1;
    static constexpr double kMaximumZoom = 16.0;

    explicit ImageView(QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    void setImage(QImage image);
    void setNaturalSize(QSizeF points);
    QSizeF naturalSize() const;

    // 0: fitted; otherwise bounded to [kMinimumZoom, kMaximumZoom].
    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    // The scale the image is drawn at now, relative to its natural size.
    double effectiveZoom() const;
    // The scale the image is drawn at when fitted to the view as it is now.
    double fittedZoom() const;

    // Where the image is drawn inside `bounds` (the viewport's rectangle when shown).
    QRect imageRect(QRect bounds) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSize drawnSize(QSize bounds) const;
    void updateScrollBars();

    QImage image_;
    QImage scaled_;  // image_ at the size last drawn, in device pixels
    QSizeF naturalSize_;
    double zoom_ = 0;
};

}  // namespace vorrel
