#include "widgets/Style.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace vorrel::zodadavovov::style {

QFont systemFont(int pixelSize, QFont::Weight weight, bool italic) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setItalic(italic);
    return font;
}

void setForeground(QWidget* widget, Foreground level) {
    QPalette palette = widget->palette();
    QColor color = QApplication::palette().color(QPalette::WindowText);
    // The desktop has no secondary/tertiary label colours; these opacities match the
    // usual contrast steps between them.
    if (level == Foreground::Secondary) color.setAlphaF(0.55f);
    if (level == Foreground::Tertiary) color.setAlphaF(0.3f);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

}  // namespace vorrel::zodadavovov::style
