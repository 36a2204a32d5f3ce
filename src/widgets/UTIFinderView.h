#pragma once
// UTIFinderView: the UTI finder window's content.
//
// Top: a scrolling list with one entry per chosen file (Name, Kind, MIME Type, when the type
// has any Extensions, and when the application gave a verdict Preview), each followed by a
// divider; an entry's context menu holds
// "Copy MIME Type". Bottom bar: "Select Files" (the default button, Return), "Copy Result"
// (Ctrl+C; disabled while the list is empty) and the hint "You can also drag-and-drop
// files.". Size limits: 360-600 wide (400 preferred), 240-480 high (320 preferred).
//
// Choosing files replaces the whole list:
//   - "Select Files" asks the file importer (by default a file dialog: any file, several
//     at once). Chosen files replace the list, in the order given, leaving out files with
//     no readable type. A cancelled dialog changes nothing. A failed one prints
//     "File import failed: <description>" as one line on standard output and changes
//     nothing.
//   - Dropping file URLs first empties the list, then appends the record of each dropped
//     URL that gives one; the drop is accepted even when nothing could be listed.
// Copying puts plain text on the clipboard: "Copy MIME Type" the entry's identifier, "Copy
// Result" every entry's reportText() joined by "\n-----------------------\n".
//
// Thread-safety: GUI thread only.

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>

#include "widgets/UTIFile.h"

class QAction;
class QPushButton;
class QVBoxLayout;

namespace vorrel::zodadavovov {

// What a file importer reports.
struct FileImport {
    enum class Outcome { Chosen, Cancelled, Failed };
    Outcome outcome = Outcome::Cancelled;
    QList<QUrl> urls;          // Chosen: the files, in the order given
    QString errorDescription;  // Failed: why
};

class UTIFinderView : public QWidget {
    Q_OBJECT
public:
    using FileImporter = std::function<FileImport(QWidget* parent)>;

    explicit UTIFinderView(QWidget* parent = nullptr);

    const QList<UTIFile>& selectedFiles() const { return selectedFiles_; }
    // True while a drag with file URLs is over the view.
    bool isTargeted() const { return isTargeted_; }

    // Replaces the list with the records of these URLs (files without a record are left out).
    void setFiles(const QList<QUrl>& urls);
    // The text "Copy Result" puts on the clipboard.
    QString resultText() const;

    // Replaces the file dialog (tests, embedders); an empty function restores it.
    void setFileImporter(FileImporter importer);
    // What the application says of each file listed from now on (UTIFile::Verdict); none by
    // default.
    void setVerdict(UTIFile::Verdict verdict);

    QPushButton* selectFilesButton() const { return selectButton_; }
    QPushButton* copyResultButton() const { return copyButton_; }
    QAction* copyResultAction() const { return copyAction_; }
    // The "Copy MIME Type" action of entry `index` (in list order), or nullptr.
    QAction* copyIdentifierAction(int index) const;

    QSize sizeHint() const override { return {400, 320}; }

public slots:
    void selectFiles();
    void copyResult();

signals:
    void selectedFilesChanged();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void append(const UTIFile& file);
    void clearList();
    void updateActions();

    QList<UTIFile> selectedFiles_;
    bool isTargeted_ = false;
    FileImporter importer_;
    UTIFile::Verdict verdict_;
    QWidget* entries_ = nullptr;
    QVBoxLayout* entriesLayout_ = nullptr;
    QList<QWidget*> entryWidgets_;
    QPushButton* selectButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QAction* copyAction_ = nullptr;
};

}  // namespace vorrel::zodadavovov
