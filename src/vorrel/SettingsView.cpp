#include "vorrel/SettingsView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "settings/SharedSettings.h"

namespace vorrel {

SettingsView::SettingsView(QWidget* parent)
    : QWidget(parent),
      transparentBackground_(new Prefs::Pref<bool>(vorrel::transparentBackground(), this)),
      switch_(new QCheckBox(tr("Transparent Background"))) {
    auto* section = new QGroupBox;
    auto* sectionLayout = new QVBoxLayout(section);
    sectionLayout->addWidget(switch_);
    auto* note = new QLabel(tr("Shows drawings (EPS) as PNG images without a white page. "
                               "PostScript documents are always shown as PDF."));
    note->setWordWrap(true);
    note->setTextFormat(Qt::PlainText);
    sectionLayout->addWidget(note);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(section);
    layout->addStretch(1);

    transparentBackground_->bindCheckable(switch_);
}

}  // namespace vorrel
