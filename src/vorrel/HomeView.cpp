#include "vorrel/HomeView.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "platform/SystemVersion.h"
#include "vorrel/DefaultApplication.h"
#include "vorrel/SpaceBarChoice.h"
#include "vorrel/ThumbnailerChoice.h"
#include "widgets/AppBrandingView.h"
#include "widgets/OrderedListItem.h"
#include "widgets/PlainSection.h"
#include "widgets/Style.h"
#include "widgets/UrlOpener.h"

namespace vorrel {

namespace zv = zodadavovov;

HomeView::HomeView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 6, 9, 6);
    layout->setSpacing(10);

    layout->addWidget(new zv::AppBrandingView(
        {.name = std::nullopt, .tagline = tr("Quick Look EPS Files in File Manager"), .icon = std::nullopt,
         .iconSize = 72}));

    auto* usageSection = new zv::PlainSection(tr("How to Use Vorrel Quick Look?"));
    usage_ = new QLabel(
        tr("Open EPS and PostScript files (.eps, .epsi, .epsf, .ps, also as .gz or .bz2) with "
           "Vorrel Quick Look. Space or Escape closes the quick look; the Left and Right arrow "
           "keys move between files opened together."));
    usage_->setWordWrap(true);
    usage_->setTextFormat(Qt::PlainText);
    usage_->setFont(zv::style::systemFont(13));
    zv::style::setForeground(usage_, zv::style::Foreground::Secondary);
    usageSection->addWidget(usage_);
    // The newest layouts pull the usage text 10 px towards the leading edge. The section
    // holds only this text, so its content indent is what moves.
    if (platform::SystemVersion::isAtLeast({26, 0, 0})) {
        const QMargins margins = usageSection->contentLayout()->contentsMargins();
        usageSection->contentLayout()->setContentsMargins(margins - QMargins(10, 0, 0, 0));
    }
    layout->addWidget(usageSection);

    auto* setup = new zv::PlainSection(tr("Set Up Quick Look for EPS Files"));
    const QString steps[] = {
        tr("Make “Vorrel Quick Look” the [default application for these files](%1).")
            .arg(QLatin1String(setupLink)),
        tr("In File Manager, double-click an EPS file, or choose “Open With → Vorrel Quick Look”."),
        tr("File Manager shows thumbnails of these files."),
        tr("Turn on “Transparent Background” in Settings for previews without a white page."),
    };
    int order = 1;
    for (const QString& step : steps) {
        auto* item = new zv::OrderedListItem(step, order++);
        steps_ << item->textLabel();
        setup->addWidget(item);
    }
    // Step 1's link does the set-up here; any other link still opens as usual.
    QLabel* first = steps_.first();
    disconnect(first, &QLabel::linkActivated, nullptr, nullptr);
    connect(first, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link != QLatin1String(setupLink)) {
            zv::openUrl(QUrl(link));
            return;
        }
        runSetup();
    });
    // When another thumbnailer also claims EPS files: the choice to use ours.
    setup->addWidget(new ThumbnailerChoice(
        QCoreApplication::applicationDirPath() + QLatin1String("/vorrel-thumbnailer")));
    layout->addWidget(setup);

    // Beside the section's heading, where it takes no room of the fixed-size pane: the link to
    // Space in the file managers found (SpaceBarChoice in a dialog).
    spaceBarLink_ = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                                   .arg(QLatin1String(spaceBarLink), tr("Space Bar in File Manager…").toHtmlEscaped()));
    spaceBarLink_->setFont(zv::style::systemFont(13));
    connect(spaceBarLink_, &QLabel::linkActivated, this, &HomeView::openSpaceBar);
    if (auto* sectionLayout = qobject_cast<QVBoxLayout*>(setup->layout())) {
        sectionLayout->removeWidget(setup->headingLabel());
        auto* headingRow = new QHBoxLayout;
        headingRow->addWidget(setup->headingLabel());
        headingRow->addStretch(1);
        headingRow->addWidget(spaceBarLink_);
        sectionLayout->insertLayout(0, headingRow);
    }
    spaceBarLink_->setVisible(!spacebar::SpaceBar(spaceBarEnvironment()).found().isEmpty());
    layout->addStretch(1);
}

spacebar::Environment HomeView::spaceBarEnvironment() {
    return spacebar::Environment::current(QCoreApplication::applicationDirPath() +
                                          QLatin1String("/vorrel-quicklook"));
}

void HomeView::openSpaceBar() {
    delete spaceBarDialog_.data();
    auto* dialog = new QDialog(window());
    dialog->setWindowTitle(tr("Space Bar in File Manager"));
    auto* layout = new QVBoxLayout(dialog);
    auto* intro = new QLabel(tr("Press Space on an EPS file in these file managers to quick look at it:"));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addWidget(new SpaceBarChoice(spaceBarEnvironment()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog->setMinimumWidth(480);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    spaceBarDialog_ = dialog;
    dialog->open();
}

void HomeView::runSetup() {
    DefaultApplication::makeQuickLookDefaultForEps(this, [this](const DefaultApplication::Result& result) {
        delete message_.data();
        // Window-modal and not waited for: the window stays responsive behind it.
        auto* box = new QMessageBox(result.ok ? QMessageBox::Information : QMessageBox::Warning,
                                    tr("Default Application"), result.headline, QMessageBox::Ok, window());
        box->setTextFormat(Qt::PlainText);
        // The reason may quote another program: shown as plain text, never as markup.
        if (!result.reason.isEmpty())
            box->setInformativeText(QStringLiteral("<p>%1</p>").arg(result.reason.toHtmlEscaped()));
        box->setAttribute(Qt::WA_DeleteOnClose);
        message_ = box;
        box->open();
        emit setupFinished(result.ok);
    });
}

}  // namespace vorrel
