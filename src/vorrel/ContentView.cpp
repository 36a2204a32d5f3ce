#include "vorrel/ContentView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

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
    fitPanes(contentSize(size));
}

QWidget* ContentView::inset(QWidget* pane) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    const int side = paneSideInset();
    layout->setContentsMargins(side, 0, side, 0);
    layout->addWidget(pane);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(page);
    pages_.push_back(page);
    return scroll;
}

void ContentView::fitPanes(QSize preferred) {
    int width = preferred.width();
    for (QWidget* page : pages_) width = std::max(width, page->minimumSizeHint().width());
    int height = 0;
    for (QWidget* page : pages_) {
        page->ensurePolished();
        const int needed = page->hasHeightForWidth() ? page->heightForWidth(width)
                                                     : page->minimumSizeHint().height();
        height = std::max(height, std::max(needed, page->minimumSizeHint().height()));
    }
    height += tabBar()->sizeHint().height();
    QSize minimum(width, height);
    // On a screen smaller than that the window still fits: its panes scroll instead.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        minimum = minimum.boundedTo(screen->availableGeometry().size() * 9 / 10);
    setMinimumSize(minimum);
    opening_ = preferred.expandedTo(QSize(width, height));
    resize(opening_);
}

}  // namespace vorrel
