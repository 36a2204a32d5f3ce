#pragma once
// addDefaultButtonShortcut: makes `button` the default action of `owner`'s window.
//
// Outside dialogs a push button's "default" flag only changes its look; this adds an
// action to `owner` that clicks the button on Return or Enter anywhere in the window, as
// long as `owner` is shown and the button is enabled. The button is also marked default
// so that it looks like one.
//
// Thread-safety: GUI thread only.

class QPushButton;
class QWidget;

namespace vorrel::zodadavovov {

void addDefaultButtonShortcut(QWidget* owner, QPushButton* button);

}  // namespace vorrel::zodadavovov
