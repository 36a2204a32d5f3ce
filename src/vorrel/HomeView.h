#pragma once
// HomeView: the Home pane, a guide to previewing EPS files on this desktop.
//
//   1. Branding header: the application's name and icon (72 px) and the tagline
//      "Quick Look EPS Files in File Manager".
//   2. "How to Use the Extension?": EPS files opened with Vorrel Quick Look are quick
//      looked; Space or Escape closes the quick look, the Left and Right arrow keys move
//      between files opened together.
//   3. "Enable Quick Look Extension": four numbered steps: make Vorrel Quick Look the
//      default application (the link, setupLink), open a file (double-click or Open With),
//      thumbnails in the file manager, "Transparent Background"; below them, when another
//      thumbnailer also claims EPS files, the choice to use Vorrel's (ThumbnailerChoice).
//      Beside the section's heading, when a file manager Vorrel can set up is found, the
//      link "Space Bar in File Manager…" (spaceBarLink) opens a dialog that says for each
//      whether Space previews EPS files there, with a switch to set it up or undo it
//      (SpaceBarChoice). The pane has a fixed size; the heading row is where it fits.
//
// The link in step 1 runs DefaultApplication and shows its outcome in a message box on
// the window: "Vorrel Quick Look now opens EPS files." or why it could not. Every other
// link opens with the desktop's default handler.
//
// Texts are translated with tr(); the English text is the key.
//
// Thread-safety: GUI thread only.

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "spacebar/SpaceBar.h"

class QLabel;

namespace vorrel {

class HomeView : public QWidget {
    Q_OBJECT
public:
    // The address of step 1's link; activating it runs the set-up instead of opening it.
    static constexpr const char* setupLink = "vorrel-setup:default-application";
    static constexpr const char* spaceBarLink = "vorrel-setup:space-bar";

    explicit HomeView(QWidget* parent = nullptr);

    QLabel* usageLabel() const { return usage_; }
    // The text labels of the four steps, in order.
    QList<QLabel*> stepLabels() const { return steps_; }
    // The message box with the set-up's outcome while it is shown.
    QMessageBox* setupMessage() const { return message_; }
    QLabel* spaceBarLinkLabel() const { return spaceBarLink_; }
    // The Space-bar dialog while it is shown.
    QDialog* spaceBarDialog() const { return spaceBarDialog_; }

signals:
    // The set-up link ran and its outcome is shown; ok tells whether it succeeded.
    void setupFinished(bool ok);

private:
    void runSetup();
    void openSpaceBar();
    static spacebar::Environment spaceBarEnvironment();

    QLabel* usage_ = nullptr;
    QList<QLabel*> steps_;
    QLabel* spaceBarLink_ = nullptr;
    QPointer<QDialog> spaceBarDialog_;
    QPointer<QMessageBox> message_;
};

}  // namespace vorrel
