#include "vorrel/ContentView.h"

#include <QVBoxLayout>

#include "vorrel/AboutView.h"
#include "vorrel/HomeView.h"
#include "vorrel/SettingsView.h"
#include "widgets/SymbolIcon.h"

namespace vorrel {

ContentView::ContentView(PaneSelection& selectedPane, platform::UpdaterController& updaterController,
                         WindowSize size, QWidget* parent)
    : QTabWidget(parent),
      home_(new HomeView),
      settings_(new SettingsView),
      about_(new AboutView(updaterController)) {
    setDocumentMode(true);
    QWidget* panes[] = {home_, settings_, about_};
    for (const SidebarPane pane : allSidebarPanes) {
        addTab(inset(panes[vorrel::indexOf(pane)]), zodadavovov::symbolIcon(symbol(pane)), title(pane));
    }
    setCurrentIndex(vorrel::indexOf(selectedPane.pane()));
    connect(this, &QTabWidget::currentChanged, &selectedPane, [&selectedPane](int index) {
        if (index >= 0 && index < int(allSidebarPanes.size())) selectedPane.setPane(allSidebarPanes[index]);
    });
    connect(&selectedPane, &PaneSelection::paneChanged, this,
            [this](SidebarPane pane) { setCurrentIndex(vorrel::indexOf(pane)); });
    setFixedSize(contentSize(size));
}

QWidget* ContentView::inset(QWidget* pane) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    const int side = paneSideInset();
    layout->setContentsMargins(side, 0, side, 0);
    layout->addWidget(pane);
    return page;
}

}  // namespace vorrel
