#pragma once
// AppBrandingView: the branding header of a pane: the application icon above the name
// and a tagline, centred, taking the full width.
//
//   - icon: the given QIcon at iconSize x iconSize, else a live AppIconView;
//   - name: the given name, else appinfo::displayName(); shown verbatim, 24 px semibold;
//   - tagline: shown as given (the caller translates it), 13 px, secondary colour, 5 px
//     below the name.
// Name and tagline wrap and are centred; both are plain text.
//
// Thread-safety: GUI thread only.

#include <QIcon>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;

namespace vorrel::zodadavovov {

class AppBrandingView : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::optional<QString> name;
        QString tagline;
        std::optional<QIcon> icon;
        int iconSize = 128;
    };

    explicit AppBrandingView(Options options, QWidget* parent = nullptr);

    QLabel* nameLabel() const { return name_; }
    QLabel* taglineLabel() const { return tagline_; }
    // The icon widget: an AppIconView, or a QLabel holding the given icon.
    QWidget* iconWidget() const { return icon_; }

private:
    QWidget* icon_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* tagline_ = nullptr;
};

}  // namespace vorrel::zodadavovov
