#pragma once
// SpaceBarChoice: the Home pane's rows for Space in the file managers. For each file manager
// found (spacebar::SpaceBar) one row says whether Space previews EPS files there, with a
// switch: "Set Up" (turnOn) when it does not, "Undo" (turnOff) when Vorrel set it up. A file
// manager that previews EPS already, or cannot be set up, gets no switch; its row says why.
// After a switch the row shows the outcome, and what Space does then. Hidden when no file
// manager is found.
//
// Texts are translated with tr(); the English text is the key.
//
// Thread-safety: GUI thread only.

#include <QWidget>

#include <memory>

#include "spacebar/SpaceBar.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vorrel {

class SpaceBarChoice : public QWidget {
    Q_OBJECT
public:
    explicit SpaceBarChoice(spacebar::Environment environment, QWidget* parent = nullptr);

    struct Row {
        spacebar::FileManager manager;
        QLabel* text;
        QPushButton* action;  // hidden when there is nothing to switch
    };
    const QList<Row>& rows() const { return rows_; }

    void refresh();

private:
    void act(const Row& row);
    void show(const Row& row, const QString& outcome);

    spacebar::SpaceBar spaceBar_;
    QVBoxLayout* layout_ = nullptr;
    QList<Row> rows_;
};

}  // namespace vorrel
