#include "vorrel/SettingsView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "shared/SharedSettings.h"

namespace vorrel {

SettingsView::SettingsView(QWidget* parent)
    : QWidget(parent),
      transparentBackground_(new Prefs::Pref<bool>(vorrel::transparentBackground(), this)),
      switch_(new QCheckBox(tr("Transparent Background"))) {
    auto* section = new QGroupBox;
    auto* sectionLayout = new QVBoxLayout(section);
    sectionLayout->addWidget(switch_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(section);
    layout->addStretch(1);

    transparentBackground_->bindCheckable(switch_);
}

}  // namespace vorrel
