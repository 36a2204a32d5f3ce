#pragma once
// VisualEffectView: a translucent backdrop behind content, standing in for the popover
// material of older systems' previews. It fills itself with the window colour at
// kBackdropAlpha, so a transparent image shows a soft, neutral panel behind it.
//
// Thread-safety: GUI thread only.

#include <QWidget>

namespace vorrel {

class VisualEffectView : public QWidget {
    Q_OBJECT
public:
    // The materials' raw values; previews use the popover material.
    enum class Material { popover = 6 };
    static constexpr int kBackdropAlpha = 200;

    explicit VisualEffectView(Material material = Material::popover, QWidget* parent = nullptr);

    Material material() const { return material_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Material material_;
};

}  // namespace vorrel
