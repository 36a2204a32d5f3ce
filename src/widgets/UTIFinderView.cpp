#include "widgets/UTIFinderView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <iostream>

#include "widgets/DefaultButton.h"
#include "widgets/LibraryBundle.h"
#include "widgets/Style.h"

namespace vorrel::zodadavovov {

namespace {

const QString separator = QStringLiteral("\n-----------------------\n");

FileImport dialogImport(QWidget* parent) {
    const QList<QUrl> urls = QFileDialog::getOpenFileUrls(
        parent, QString(), QUrl(), QString(), nullptr, QFileDialog::Options(),
        QStringList{QStringLiteral("file")});
    if (urls.isEmpty()) return {};
    return {FileImport::Outcome::Chosen, urls, {}};
}

bool carriesFileUrls(const QMimeData* data) {
    if (!data || !data->hasUrls()) return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return true;
    return false;
}

// One "Label value" line of an entry. File names are shown as plain text: a name may
// look like markup or hold line feeds.
void addLine(QVBoxLayout* layout, const QString& label, const QString& value) {
    auto* row = new QHBoxLayout;
    auto* labelWidget = new QLabel(label);
    labelWidget->setFont(style::systemFont(13, QFont::Normal, true));
    style::setForeground(labelWidget, style::Foreground::Secondary);
    labelWidget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* valueWidget = new QLabel(value);
    valueWidget->setTextFormat(Qt::PlainText);
    valueWidget->setFont(style::systemFont(13, QFont::Medium));
    valueWidget->setWordWrap(true);
    QSizePolicy valuePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    valuePolicy.setHeightForWidth(true);  // keep what word wrapping asked for
    valueWidget->setSizePolicy(valuePolicy);
    valueWidget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row->addWidget(labelWidget);
    row->addWidget(valueWidget, 1);
    layout->addLayout(row);
}

}  // namespace

UTIFinderView::UTIFinderView(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setMinimumSize(360, 240);
    setMaximumSize(600, 480);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setBackgroundRole(QPalette::Base);
    entries_ = new QWidget;
    entries_->setBackgroundRole(QPalette::Base);
    entries_->setAutoFillBackground(true);
    entriesLayout_ = new QVBoxLayout(entries_);
    entriesLayout_->setContentsMargins(10, 8, 10, 8);
    entriesLayout_->setSpacing(6);
    entriesLayout_->addStretch(1);
    scroll->setWidget(entries_);
    layout->addWidget(scroll, 1);

    auto* bar = new QWidget;
    bar->setBackgroundRole(QPalette::AlternateBase);
    bar->setAutoFillBackground(true);
    auto* barLayout = new QVBoxLayout(bar);
    barLayout->setContentsMargins(10, 15, 10, 10);
    barLayout->setSpacing(5);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    selectButton_ = new QPushButton(libraryText(ZV_TEXT("Select Files")));
    selectButton_->setDefault(true);
    copyButton_ = new QPushButton(libraryText(ZV_TEXT("Copy Result")));
    buttons->addStretch(1);
    buttons->addWidget(selectButton_);
    buttons->addWidget(copyButton_);
    buttons->addStretch(1);
    barLayout->addLayout(buttons);
    auto* hint = new QLabel(libraryText(ZV_TEXT("You can also drag-and-drop files.")));
    hint->setFont(style::systemFont(12, QFont::Normal, true));
    style::setForeground(hint, style::Foreground::Secondary);
    hint->setAlignment(Qt::AlignHCenter);
    barLayout->addWidget(hint);
    layout->addWidget(bar);

    // The shortcut lives on an action of the view so that Ctrl+C obeys the same enabled
    // state as the button.
    copyAction_ = new QAction(libraryText(ZV_TEXT("Copy Result")), this);
    copyAction_->setShortcut(QKeySequence::Copy);
    copyAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(copyAction_);
    connect(copyAction_, &QAction::triggered, this, &UTIFinderView::copyResult);
    connect(copyButton_, &QPushButton::clicked, copyAction_, &QAction::trigger);
    connect(selectButton_, &QPushButton::clicked, this, &UTIFinderView::selectFiles);
    addDefaultButtonShortcut(this, selectButton_);
    updateActions();
}

void UTIFinderView::setFileImporter(FileImporter importer) { importer_ = std::move(importer); }

void UTIFinderView::setVerdict(UTIFile::Verdict verdict) { verdict_ = std::move(verdict); }

void UTIFinderView::selectFiles() {
    const FileImport result = importer_ ? importer_(this) : dialogImport(this);
    switch (result.outcome) {
    case FileImport::Outcome::Chosen:
        setFiles(result.urls);
        break;
    case FileImport::Outcome::Failed:
        std::cout << "File import failed: " << result.errorDescription.toStdString() << std::endl;
        break;
    case FileImport::Outcome::Cancelled:
        break;
    }
}

void UTIFinderView::setFiles(const QList<QUrl>& urls) {
    clearList();
    for (const QUrl& url : urls)
        if (auto file = UTIFile::fromUrl(url, verdict_)) append(*file);
    emit selectedFilesChanged();
}

QString UTIFinderView::resultText() const {
    QStringList texts;
    for (const UTIFile& file : selectedFiles_) texts << file.reportText();
    return texts.join(separator);
}

void UTIFinderView::copyResult() {
    // The action is disabled while the list is empty, but a direct call must not clear
    // the clipboard for nothing either.
    if (selectedFiles_.isEmpty()) return;
    QApplication::clipboard()->setText(resultText());
}

QAction* UTIFinderView::copyIdentifierAction(int index) const {
    if (index < 0 || index >= entryWidgets_.size()) return nullptr;
    const auto actions = entryWidgets_[index]->actions();
    return actions.isEmpty() ? nullptr : actions.first();
}

void UTIFinderView::append(const UTIFile& file) {
    selectedFiles_.append(file);
    auto* entry = new QWidget;
    auto* layout = new QVBoxLayout(entry);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    addLine(layout, libraryText(ZV_TEXT("Name")), file.name);
    addLine(layout, libraryText(ZV_TEXT("Kind")), file.description);
    addLine(layout, libraryText(ZV_TEXT("MIME Type")), file.identifier);
    if (!file.extensions.isEmpty())
        addLine(layout, libraryText(ZV_TEXT("Extensions")), file.extensionsText());
    if (!file.verdict.isEmpty()) addLine(layout, libraryText(ZV_TEXT("Preview")), file.verdict);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    style::setForeground(divider, style::Foreground::Tertiary);
    layout->addSpacing(4);
    layout->addWidget(divider);

    auto* copyIdentifier = new QAction(libraryText(ZV_TEXT("Copy MIME Type")), entry);
    const QString identifier = file.identifier;
    connect(copyIdentifier, &QAction::triggered, this,
            [identifier] { QApplication::clipboard()->setText(identifier); });
    entry->addAction(copyIdentifier);
    entry->setContextMenuPolicy(Qt::ActionsContextMenu);

    // Before the trailing stretch, so entries stay at the top.
    entriesLayout_->insertWidget(entriesLayout_->count() - 1, entry);
    entryWidgets_.append(entry);
    updateActions();
}

void UTIFinderView::clearList() {
    selectedFiles_.clear();
    for (QWidget* entry : entryWidgets_) delete entry;
    entryWidgets_.clear();
    updateActions();
}

void UTIFinderView::updateActions() {
    const bool any = !selectedFiles_.isEmpty();
    copyAction_->setEnabled(any);
    copyButton_->setEnabled(any);
}

void UTIFinderView::dragEnterEvent(QDragEnterEvent* event) {
    if (!carriesFileUrls(event->mimeData())) return event->ignore();
    isTargeted_ = true;
    event->acceptProposedAction();
}

void UTIFinderView::dragMoveEvent(QDragMoveEvent* event) {
    if (carriesFileUrls(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void UTIFinderView::dragLeaveEvent(QDragLeaveEvent* event) {
    isTargeted_ = false;
    event->accept();
}

void UTIFinderView::dropEvent(QDropEvent* event) {
    isTargeted_ = false;
    clearList();
    if (const QMimeData* data = event->mimeData(); data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (auto file = UTIFile::fromUrl(url, verdict_)) append(*file);
    emit selectedFilesChanged();
    event->acceptProposedAction();
}

}  // namespace vorrel::zodadavovov
