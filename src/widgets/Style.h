#pragma once
// Style: the few typographic and colour roles the library's views share.
//
// Sizes are given in device-independent pixels, which is what the views' layout
// measures in, so a "13" font lines up with a "12 wide" column. Foreground levels follow
// the desktop palette: primary is the window text colour, secondary and tertiary are the
// same colour at reduced opacity, so they adapt to light and dark palettes.
//
// Thread-safety: GUI thread only.

#include <QFont>

class QWidget;

namespace vorrel::zodadavovov::style {

enum class Foreground { Primary, Secondary, Tertiary };

// The application font at pixelSize with the given weight and slant.
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal, bool italic = false);
// Sets the widget's text colour level from the application palette of this moment.
void setForeground(QWidget* widget, Foreground level);

}  // namespace vorrel::zodadavovov::style
