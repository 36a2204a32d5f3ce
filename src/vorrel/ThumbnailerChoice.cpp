#include "vorrel/ThumbnailerChoice.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "platform/desktop/ThumbnailerEntries.h"
#include "conversion/ServedTypes.h"
#include "widgets/Style.h"

namespace vorrel {

namespace {

using platform::ThumbnailerEntries;
using platform::ThumbnailerEntry;

QStringList servedTypes() {
    QStringList types;
    for (const std::string_view type : kServedMimeTypes)
        types << QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size()));
    return types;
}

// The program's path as one word of an Exec line: quoted, with the characters the desktop
// entry rules reserve escaped.
QString execWord(QString path) {
    for (const char* reserved : {"\\", "\"", "`", "$"})
        path.replace(QLatin1String(reserved), QLatin1String("\\") + QLatin1String(reserved));
    return QLatin1Char('"') + path + QLatin1Char('"');
}

}  // namespace

ThumbnailerChoice::ThumbnailerChoice(QString thumbnailer, QWidget* parent)
    : QWidget(parent), thumbnailer_(std::move(thumbnailer)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    text_ = new QLabel;
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    text_->setFont(zodadavovov::style::systemFont(13));
    action_ = new QPushButton;
    layout->addWidget(text_, 1);
    layout->addWidget(action_, 0, Qt::AlignVCenter);
    connect(action_, &QPushButton::clicked, this, &ThumbnailerChoice::act);
    refresh();
}

void ThumbnailerChoice::refresh() {
    const QString ours = QString::fromLatin1(entryName) + QLatin1String(".thumbnailer");
    const QStringList types = servedTypes();
    QStringList others;
    for (const ThumbnailerEntry& entry : ThumbnailerEntries::installed()) {
        const QFileInfo file(entry.file);
        if (file.fileName() == ours) continue;
        for (const QString& type : entry.mimeTypes)
            if (types.contains(type)) {
                others << file.completeBaseName();
                break;
            }
    }
    userEntry_ = QFileInfo::exists(ThumbnailerEntries::userEntryPath(entryName));
    if (userEntry_) {
        text_->setText(tr("File Manager uses Vorrel's thumbnails for EPS files, whatever other "
                          "thumbnailers are installed."));
        action_->setText(tr("Use Any Thumbnailer"));
    } else {
        text_->setText(tr("Another thumbnailer also makes thumbnails of EPS files (%1), and File "
                          "Manager may use either.")
                           .arg(others.join(QLatin1String(", "))));
        action_->setText(tr("Use Vorrel's Thumbnails"));
    }
    setVisible(userEntry_ || !others.isEmpty());
}

void ThumbnailerChoice::act() {
    const bool done =
        userEntry_ ? ThumbnailerEntries::removeUserEntry(entryName)
                   : ThumbnailerEntries::writeUserEntry(
                         entryName, {.tryExec = thumbnailer_,
                                     .exec = execWord(thumbnailer_) + QLatin1String(" -s %s %i %o"),
                                     .mimeTypes = servedTypes()});
    refresh();
    if (!done)
        text_->setText(tr("The thumbnailer entry could not be changed: %1")
                           .arg(ThumbnailerEntries::userEntryPath(entryName)));
}

}  // namespace vorrel
