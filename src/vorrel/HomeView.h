#pragma once
// HomeView: the Home pane, a guide to previewing EPS files on this desktop.
//
//   1. Branding header: the application's name and icon (72 px) and the tagline
//      "Quick Look EPS Files in File Manager".
//   2. "How to Use the Extension?": "Press spacebar or Ctrl + Y to quick look EPS files
//      in File Manager."
//   3. "Enable Quick Look Extension": four numbered steps. The link in step 1
//      (setupLink) makes Vorrel Quick Look the default application for EPS files
//      (DefaultApplication); every other link opens with the desktop's default handler.
//
// Texts are translated with tr(); the English text is the key. No state.
//
// Thread-safety: GUI thread only.

#include <QWidget>

class QLabel;

namespace vorrel {

class HomeView : public QWidget {
    Q_OBJECT
public:
    // The address of step 1's link; activating it runs the set-up instead of opening it.
    static constexpr const char* setupLink = "vorrel-setup:default-application";

    explicit HomeView(QWidget* parent = nullptr);

    QLabel* usageLabel() const { return usage_; }
    // The text labels of the four steps, in order.
    QList<QLabel*> stepLabels() const { return steps_; }

signals:
    // The set-up link ran; ok tells whether xdg-mime succeeded.
    void setupFinished(bool ok);

private:
    QLabel* usage_ = nullptr;
    QList<QLabel*> steps_;
};

}  // namespace vorrel
