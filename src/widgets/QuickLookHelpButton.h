#pragma once
// QuickLookHelpButton: a small button with the "exclamationmark.bubble" symbol. Pressing
// it opens a popup under it with the text "Quick Look not working? Visit
// [Troubleshooting Quick Look Extensions](<maker::troubleshootingPage>) for help."
// rendered from Markdown; the link opens through openUrl(). The popup starts closed each
// time a button is made; dismissing it (click outside, Escape) closes it again.
//
// Thread-safety: GUI thread only.

#include <QToolButton>

class QFrame;
class QLabel;

namespace vorrel::zodadavovov {

class QuickLookHelpButton : public QToolButton {
    Q_OBJECT
public:
    explicit QuickLookHelpButton(QWidget* parent = nullptr);

    bool isPopoverShown() const;
    // The popup's text label (made on first press), or nullptr before that.
    QLabel* popoverLabel() const { return label_; }

public slots:
    void showPopover();

private:
    QFrame* popover_ = nullptr;
    QLabel* label_ = nullptr;
};

}  // namespace vorrel::zodadavovov
