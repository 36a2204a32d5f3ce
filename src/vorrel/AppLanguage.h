#pragma once
// AppLanguage: the row of windowSizeTable that fits the user's language, and the window's
// content size.
//
//   row  language code                 width  height
//   0    "en", any other code, or none  500    410
//   1    "zh"                          500    390
//   2    "fr"                          575    420
//   3    "de"                          600    410
//   4    "ja"                          540    430
//   5    "ko"                          500    420
//   6    "pt"                          540    420
//   7    "es"                          540    440
//
// appLanguage() is computed once per process, on first use, from the language code of
// QLocale() (the default locale); later locale changes do not alter it.
//
// Thread-safety: appLanguage() may be called from any thread (thread-safe static); the
// rest are pure.

#include <array>

#include <QSize>
#include <QString>

namespace vorrel {

struct WindowSize {
    int width;
    int height;
};

inline constexpr std::array<WindowSize, 8> windowSizeTable{{
    {500, 410}, {500, 390}, {575, 420}, {600, 410}, {540, 430}, {500, 420}, {540, 420}, {540, 440},
}};

// The row for a language code ("de", "pt", …); 0 for any code not in the table.
int appLanguageFor(const QString& languageCode);
// The row for this process, fixed at first use.
int appLanguage();

// The content size for a table row: its width, and its height plus 30 on systems older
// than version 15 (SystemVersion decides; Linux reports a newer one).
QSize contentSize(WindowSize row);
// The side inset of each pane: 10 on version 15 or later, 14 before.
int paneSideInset();

}  // namespace vorrel
