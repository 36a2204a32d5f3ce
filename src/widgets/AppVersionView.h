#pragma once
// AppVersionView: a version block with web-site and contact buttons.
//
// The live application icon (iconSize), then the display name (24 px semibold), the
// version line "Version X (B)" and a row of: a QuickLookHelpButton (only when
// showHelpButton), "Website" (opens website) and "Contact Us" (opens "mailto:" + email).
// Addresses go through openUrl(); a button whose address is not given does nothing.
//
// Thread-safety: GUI thread only.

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace vorrel::zodadavovov {

class QuickLookHelpButton;

class AppVersionView : public QWidget {
    Q_OBJECT
public:
    struct Options {
        int iconSize = 64;
        std::optional<QString> website;
        std::optional<QString> email;
        bool showHelpButton = true;
    };

    explicit AppVersionView(Options options, QWidget* parent = nullptr);

    QLabel* nameLabel() const { return name_; }
    QLabel* versionLabel() const { return version_; }
    QPushButton* websiteButton() const { return website_; }
    QPushButton* contactButton() const { return contact_; }
    // nullptr when made without the help button.
    QuickLookHelpButton* helpButton() const { return help_; }

private:
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QPushButton* website_ = nullptr;
    QPushButton* contact_ = nullptr;
    QuickLookHelpButton* help_ = nullptr;
};

}  // namespace vorrel::zodadavovov
