#include "quicklook/InfoPanel.h"

#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QStringDecoder>

namespace vorrel::quicklook {

namespace {

constexpr double kMillimetresPerPoint = 25.4 / 72.0;

QString number(double value, int decimals) {
    return QLocale().toString(value, 'f', decimals);
}

}  // namespace

InfoPanel::InfoPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("infoPanel"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setFixedWidth(kWidth);
    rows_ = new QFormLayout(this);
    rows_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    rows_->setRowWrapPolicy(QFormLayout::DontWrapRows);
    hide();
}

QString InfoPanel::displayText(std::string_view text) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (utf8.hasError()) decoded = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    QString shown;
    for (const QChar c : decoded) {
        if (shown.size() >= kMaximumCharacters) {
            shown += QChar(0x2026);
            break;
        }
        if (c == u'\n') {
            shown += QStringLiteral("\\n");
        } else if (c == u'\t') {
            shown += QStringLiteral("\\t");
        } else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                   c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            shown += QStringLiteral("\\x%1").arg(c.unicode(), c.unicode() > 0xff ? 4 : 2, 16, QChar(u'0'));
        } else {
            shown += c;
        }
    }
    return shown;
}

void InfoPanel::addRow(const QString& label, const QString& value) {
    auto* field = new QLabel(this);
    field->setToolTip(value);
    field->setTextFormat(Qt::PlainText);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    field->setProperty("fullText", value);
    const int room = kWidth - 130;
    field->setText(field->fontMetrics().elidedText(value, Qt::ElideRight, room));
    field->setMaximumWidth(room);
    rows_->addRow(label, field);
}

QString InfoPanel::value(const QString& label) const {
    for (int row = 0; row < rows_->rowCount(); ++row) {
        auto* name = qobject_cast<QLabel*>(rows_->itemAt(row, QFormLayout::LabelRole)
                                               ? rows_->itemAt(row, QFormLayout::LabelRole)->widget()
                                               : nullptr);
        auto* field = rows_->itemAt(row, QFormLayout::FieldRole);
        if (name && field && field->widget() && name->text() == label)
            return field->widget()->property("fullText").toString();
    }
    return {};
}

void InfoPanel::showReading() {
    while (rows_->rowCount() > 0) rows_->removeRow(0);
    rows_->addRow(new QLabel(tr("Reading…"), this));
    fit();
}

void InfoPanel::setFacts(const std::optional<PreviewFacts>& facts) {
    while (rows_->rowCount() > 0) rows_->removeRow(0);
    if (!facts) {
        rows_->addRow(new QLabel(tr("What this file is could not be read."), this));
        fit();
        return;
    }
    const auto orDash = [](const std::string& text) {
        return text.empty() ? QStringLiteral("—") : displayText(text);
    };
    addRow(tr("Size:"), tr("%1 × %2 pt (%3 × %4 mm)")
                            .arg(number(facts->widthPoints, 1), number(facts->heightPoints, 1),
                                 number(facts->widthPoints * kMillimetresPerPoint, 1),
                                 number(facts->heightPoints * kMillimetresPerPoint, 1)));
    addRow(tr("Pages:"), QLocale().toString(facts->pages));
    addRow(tr("Title:"), orDash(facts->title));
    addRow(tr("Creator:"), orDash(facts->creator));
    addRow(tr("Created:"), orDash(facts->creationDate));
    addRow(tr("For:"), orDash(facts->forWhom));
    addRow(tr("Language level:"), orDash(facts->languageLevel));
    addRow(tr("Kind:"), facts->document ? tr("PostScript document") : tr("EPS drawing"));
    addRow(tr("Compressed:"), facts->compression.empty()
                                  ? tr("No")
                                  : QString::fromStdString(facts->compression));
    addRow(tr("Bytes:"), QLocale().toString(static_cast<qulonglong>(facts->bytes)));
    if (facts->fonts.empty()) {
        addRow(tr("Fonts:"), tr("None"));
    } else {
        bool first = true;
        for (const auto& font : facts->fonts) {
            addRow(first ? tr("Fonts:") : QString(),
                   (font.embedded ? tr("%1 (embedded)") : tr("%1 (not embedded)"))
                       .arg(displayText(font.name)));
            first = false;
        }
    }
    fit();
}

void InfoPanel::fit() {
    // Rows added while the panel shows would appear only later, and count for nothing yet.
    for (auto* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) child->show();
    rows_->activate();
    adjustSize();
}

}  // namespace vorrel::quicklook
