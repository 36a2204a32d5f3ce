#include "vorrel/AboutView.h"

#include <QVBoxLayout>

#include "widgets/AppVersionUpdaterView.h"
#include "widgets/MakerLinks.h"
#include "widgets/OrderedListItem.h"
#include "widgets/PlainSection.h"
#include "widgets/SharedLocalizedStrings.h"

namespace vorrel {

namespace zv = zodadavovov;

AboutView::AboutView(platform::UpdaterController& updaterController, QWidget* parent)
    : QWidget(parent) {
    platform::Updater* updater = &updaterController.updater();
    // The switch's state is the pane's own, seeded once from the updater.
    const bool initial = updater->automaticallyChecksForUpdates();
    version_ = new zv::AppVersionUpdaterView(
        {.iconSize = 72,
         .checkForUpdates = [updater] { updater->checkForUpdates(); },
         .getAutomaticallyCheck = [initial] { return initial; },
         .setAutomaticallyCheck = [updater](bool on) { updater->setAutomaticallyChecksForUpdates(on); }});

    auto* moreApps = new zv::PlainSection(tr("More Apps by Us"));
    moreApps->addWidget(new zv::OrderedListItem(
        tr("[Lumen Contact Sheets - Browse folders of images as printable contact sheets](%1)")
            .arg(QString::fromUtf8(zv::maker::homePage.data(), qsizetype(zv::maker::homePage.size())) +
                 QLatin1String("lumen/")),
        1));
    moreApps->addWidget(new zv::OrderedListItem(zv::sharedstrings::otherApp(), 2));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addWidget(version_);
    layout->addWidget(moreApps);
    layout->addStretch(1);
}

}  // namespace vorrel
