#pragma once
// symbolIcon: the desktop icon for one of the symbol names the views use.
//
// Each symbol name maps to a freedesktop icon-theme name; the current icon theme is asked
// first and the library's shipped drawing is used when the theme has no such icon, so the
// result is never blank for a known symbol:
//
//   "magnifyingglass" -> system-search          "house"       -> go-home
//   "app.badge"       -> applications-other     "gear"        -> preferences-system
//   "envelope"        -> mail-message-new       "info.circle" -> help-about
//   "hand.raised"     -> preferences-system-privacy
//   "newspaper"       -> x-office-document      "ladybug"     -> tools-report-bug
//   "exclamationmark.bubble" -> help-faq        "folder"      -> folder
//   "doc.text.magnifyingglass" -> document-preview
//   "arrow.trianglehead.2.counterclockwise.rotate.90" -> view-refresh
//
// An unknown symbol name gives a null QIcon.
//
// applicationIcon() is the running application's icon: the theme icon named after the
// main bundle ("CFBundleName" in lower case, e.g. "vorrel"), else the shipped drawing.
//
// Thread-safety: GUI thread only.

#include <QIcon>
#include <QString>

#include <string_view>

namespace vorrel::zodadavovov {

QIcon symbolIcon(std::string_view symbol);
// The freedesktop theme name for a symbol, empty for an unknown symbol.
QString themeIconName(std::string_view symbol);
QIcon applicationIcon();

}  // namespace vorrel::zodadavovov
