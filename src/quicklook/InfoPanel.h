#pragma once
// InfoPanel: what the shown file is, in a panel over the drawing's right side: size in points
// and millimetres, pages, title, creator, date, "For", language level, EPS or document,
// compressed or not, bytes, and the fonts of its PDF with whether each is embedded.
//
// The file's texts are shown as displayText() makes them: UTF-8 read as such (other bytes as
// Latin-1), control characters written as \n, \t or \xNN, and cut to kMaximumCharacters with
// an ellipsis; each line is also elided to the panel's width, the whole text in its tooltip.
//
// The panel is as tall as its rows; the window makes room for it (PreviewActions).
//
// Thread-safety: GUI thread only.

#include <QFrame>
#include <QString>

#include <optional>
#include <string_view>

#include "preview/contract/PreviewingController.h"

class QFormLayout;
class QLabel;

namespace vorrel::quicklook {

class InfoPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kMaximumCharacters = 200;
    static constexpr int kWidth = 360;

    explicit InfoPanel(QWidget* parent = nullptr);

    // Nothing: "Reading…" while they come; set with no facts: they could not be read.
    void showReading();
    void setFacts(const std::optional<PreviewFacts>& facts);
    // The value shown for a row (by its label's text), or an empty string (for tests).
    QString value(const QString& label) const;

    static QString displayText(std::string_view text);

private:
    void addRow(const QString& label, const QString& value);
    void fit();

    QFormLayout* rows_ = nullptr;
};

}  // namespace vorrel::quicklook
