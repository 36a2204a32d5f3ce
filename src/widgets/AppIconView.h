#pragma once
// AppIconView: the running application's icon (applicationIcon()) at size x size.
//
// The icon is read when the view is made and again whenever the desktop's icon theme,
// palette or style changes (QEvent::ThemeChange, PaletteChange, StyleChange, e.g. on a
// switch between light and dark). A re-read that gives the same picture repaints
// nothing; a different one repaints the view.
//
// Thread-safety: GUI thread only.

#include <QPixmap>
#include <QWidget>

namespace vorrel::zodadavovov {

class AppIconView : public QWidget {
    Q_OBJECT
public:
    explicit AppIconView(int size, QWidget* parent = nullptr);

    int iconSize() const { return size_; }
    // The picture currently shown.
    const QPixmap& pixmap() const { return pixmap_; }

    QSize sizeHint() const override { return {size_, size_}; }

signals:
    // The shown picture changed after a theme, palette or style change.
    void iconChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap render() const;
    void reload();

    int size_;
    QPixmap pixmap_;
};

}  // namespace vorrel::zodadavovov
