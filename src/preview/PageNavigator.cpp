#include "preview/PageNavigator.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QShortcut>
#include <QWheelEvent>

#include <algorithm>

namespace vorrel {

namespace {

constexpr int kNotch = 120;  // QWheelEvent's angle for one notch of a mouse wheel

}  // namespace

PageNavigator::PageNavigator(QPdfView* view, int page) : QObject(view), view_(view) {
    // Window-wide, as the window's own keys are: the view need not have the focus.
    for (const auto& [key, move] : kKeys) {
        auto* keys = new QShortcut(QKeySequence(key), view_);
        connect(keys, &QShortcut::activated, this, [this, move = move] { this->move(move); });
    }
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    goTo(page);
}

int PageNavigator::pageCount() const {
    return view_->document() ? view_->document()->pageCount() : 0;
}

QString PageNavigator::pageText(int page, int pageCount) {
    return QCoreApplication::translate("vorrel::PageNavigator", "Page %1 of %2")
        .arg(page + 1)
        .arg(pageCount);
}

void PageNavigator::goTo(int page) {
    const int count = pageCount();
    if (count < 1) return;
    page_ = std::clamp(page, 0, count - 1);
    view_->pageNavigator()->jump(page_, {}, view_->pageNavigator()->currentZoom());
    const bool note = page_ == count - 1 && !lastPageNote_.isEmpty();
    // Made when first needed: its style sheet and placement cost a one-page preview 2 ms.
    if (!label_ && (count > 1 || note)) label_ = makeLabel(view_);
    if (label_) {
        label_->setText(note ? lastPageNote_ : pageText(page_, count));
        label_->setWordWrap(note);
        label_->setVisible(count > 1 || note);
        placeLabel();
    }
    emit pageChanged(page_);
}

void PageNavigator::move(Move move) {
    switch (move) {
        case Move::next: goTo(page_ + 1); break;
        case Move::previous: goTo(page_ - 1); break;
        case Move::first: goTo(0); break;
        case Move::last: goTo(pageCount() - 1); break;
    }
}

void PageNavigator::setLastPageNote(const QString& note) {
    lastPageNote_ = note;
    goTo(page_);
}

QLabel* PageNavigator::makeLabel(QWidget* over) {
    auto* label = new QLabel(over);
    label->setObjectName(QStringLiteral("pageLabel"));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(0, 0, 0, 150); color: white; border-radius: 6px; "
        "padding: 2px 8px; }"));
    return label;
}

void PageNavigator::placeLabel() { placeLabel(label_, view_); }

void PageNavigator::placeLabel(QLabel* label, const QWidget* over) {
    label->setMaximumWidth(std::max(1, over->width() - 16));
    label->adjustSize();
    label->move((over->width() - label->width()) / 2, over->height() - label->height() - 8);
    label->raise();
}

bool PageNavigator::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Resize:
            if (watched == view_ && label_) placeLabel();
            break;
        case QEvent::Wheel: {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            if (wheel->modifiers() & Qt::ControlModifier) break;  // zoom, not pages
            wheelAngle_ += wheel->angleDelta().y();
            const int notches = wheelAngle_ / kNotch;
            wheelAngle_ -= notches * kNotch;
            if (notches != 0) goTo(page_ - notches);  // turning the wheel back goes down
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vorrel
