#include "vorrel/SettingsView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/desktop/ProtectionNote.h"
#include "settings/SharedSettings.h"

namespace vorrel {

SettingsView::SettingsView(QWidget* parent, const platform::Sandbox::Support& support)
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
    if (const QString missing = platform::protectionNote(support); !missing.isEmpty()) {
        protectionNote_ = new QLabel(missing);
        protectionNote_->setWordWrap(true);
        protectionNote_->setTextFormat(Qt::PlainText);
        layout->addWidget(protectionNote_);
    }
    layout->addStretch(1);

    transparentBackground_->bindCheckable(switch_);
}

}  // namespace vorrel
