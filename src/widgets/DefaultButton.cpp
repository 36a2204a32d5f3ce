#include "widgets/DefaultButton.h"

#include <QAction>
#include <QPushButton>

namespace vorrel::zodadavovov {

void addDefaultButtonShortcut(QWidget* owner, QPushButton* button) {
    button->setDefault(true);
    auto* action = new QAction(owner);
    action->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, button, [button] {
        if (button->isEnabled() && button->isVisible()) button->click();
    });
    owner->addAction(action);
}

}  // namespace vorrel::zodadavovov
