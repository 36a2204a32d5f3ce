#pragma once
// The desktop's preference for dark or light windows, and a palette that follows it.
//
// desktopColorScheme() asks, in order, and takes the first answer that says dark or light:
//   1. Qt's style hints, where Qt knows the scheme (6.5 and later);
//   2. the XDG settings portal on the session bus: org.freedesktop.appearance color-scheme
//      (1 dark, 2 light; 0 is "no preference", no answer);
//   3. the GTK theme's name (GTK_THEME, else gtk-theme-name in
//      $XDG_CONFIG_HOME/gtk-3.0/settings.ini), dark when it ends in "-dark" (any case), and
//      gtk-application-prefer-dark-theme there;
// and answers Unknown when none does.
//
// followColorScheme(app) gives the application a dark palette when the desktop prefers dark
// and the palette it has is light (Qt's own, without a platform theme that already
// follows the desktop), and back the light one when the preference turns light; it watches
// the portal's SettingChanged for later changes. Widgets that show a drawing keep a white
// page (pagePalette()) whatever the scheme: a drawing is printed matter.
//
// Thread-safety: GUI thread only, once the QApplication exists.

#include <QPalette>
#include <QString>

class QObject;

namespace vorrel::platform {

enum class ColorScheme { Unknown, Light, Dark };

// The parts of a GTK theme preference (for tests: the rule alone).
ColorScheme colorSchemeOfGtk(const QString& themeName, const QString& settingsIni);
// The portal's value: 1 dark, 2 light, anything else no answer.
ColorScheme colorSchemeOfPortal(uint value);

ColorScheme desktopColorScheme();
bool isDark(const QPalette& palette);
QPalette darkPalette();
QPalette pagePalette(QPalette base);

void followColorScheme(QObject* context);

}  // namespace vorrel::platform
