#include "vorrel/SpaceBarChoice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/Style.h"

namespace vorrel {

using spacebar::FileManager;
using spacebar::State;

SpaceBarChoice::SpaceBarChoice(spacebar::Environment environment, QWidget* parent)
    : QWidget(parent), spaceBar_(std::move(environment)) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    for (const FileManager manager : spaceBar_.found()) {
        auto* line = new QWidget(this);
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        Row row{manager, new QLabel(line), new QPushButton(line)};
        row.text->setWordWrap(true);
        row.text->setTextFormat(Qt::PlainText);
        row.text->setFont(zodadavovov::style::systemFont(13));
        lineLayout->addWidget(row.text, 1);
        lineLayout->addWidget(row.action, 0, Qt::AlignVCenter);
        layout_->addWidget(line);
        rows_ << row;
        connect(row.action, &QPushButton::clicked, this, [this, index = rows_.size() - 1] { act(rows_[index]); });
    }
    refresh();
    setVisible(!rows_.isEmpty());
}

void SpaceBarChoice::refresh() {
    for (const Row& row : rows_) show(row, {});
}

void SpaceBarChoice::show(const Row& row, const QString& outcome) {
    const spacebar::Status status = spaceBar_.status(row.manager);
    QString text = QStringLiteral("%1: %2").arg(spacebar::SpaceBar::displayName(row.manager), status.detail);
    if (!outcome.isEmpty()) text += QLatin1Char('\n') + outcome;
    row.text->setText(text);
    row.action->setText(status.state == State::On ? tr("Undo") : tr("Set Up"));
    row.action->setVisible(status.state == State::On || status.state == State::Off);
}

void SpaceBarChoice::act(const Row& row) {
    const bool on = spaceBar_.status(row.manager).state == State::On;
    const spacebar::Outcome outcome = on ? spaceBar_.turnOff(row.manager) : spaceBar_.turnOn(row.manager);
    show(row, outcome.message);
}

}  // namespace vorrel
