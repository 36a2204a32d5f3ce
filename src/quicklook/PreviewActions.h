#pragma once
// PreviewActions: what the user can do with the drawing the window shows, besides looking.
//
//   Copy (Ctrl+C): the clipboard gets the cropped PDF (application/pdf), its first page as a
//     PNG at twice the screen's resolution (image/png, and as an image), and the address of
//     an exported copy of the PDF (text/uri-list), so it pastes into documents, chats and
//     file managers.
//   Save As… (Ctrl+S): a PDF, or a PNG at 72–600 dpi with or without a background, where the
//     user says; the name offered is the source's with .pdf; never over the source.
//   Drag out: dragging the drawing drops the exported PDF.
//   Open With <application> (Ctrl+O): when the desktop opens the file's type with another
//     application than this one, opens the file with it and closes the window.
//   Information (Ctrl+I, and the ⓘ button): the InfoPanel over the drawing.
// The actions sit on the window (shortcuts) and in its context menu; each is enabled only while
// a preview has succeeded. The copies for the clipboard and for dragging live in a private
// folder (0700) of the user's runtime folder that goes when the window closes; one left by a
// killed process is removed by the next window that exports.
//
// Thread-safety: GUI thread only.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

#include "platform/ProcessFolder.h"
#include "preview/contract/PreviewingController.h"

class QAction;
class QMimeData;
class QToolButton;
class QWidget;

namespace vorrel::quicklook {

class InfoPanel;
class PreviewSession;

class PreviewActions : public QObject {
    Q_OBJECT
public:
    // The screen's resolution, doubled, for the copied image.
    static constexpr int kCopyDotsPerInch = 144;

    PreviewActions(QWidget& window, std::function<PreviewSession*()> current);
    ~PreviewActions() override;

    // The window shows a new file, or its outcome: actions follow; the drawing `content` (may
    // be null) can be dragged from.
    void contentChanged(QWidget* content);
    // Removes the exported copies (the window closes).
    void clear();

    // Copy: done() once the clipboard holds the data, or with the error.
    void copy(PreviewCompletion done = {});
    // Writes the export the user chose; shows a failure in a message box unless `done` is given.
    void save(const ExportRequest& request, PreviewCompletion done = {});
    // The clipboard's content once copied, as put there.
    static QStringList copiedFormats(const QMimeData& data);

    QAction* copyAction() const { return copy_; }
    QAction* saveAction() const { return save_; }
    QAction* infoAction() const { return info_; }
    QAction* openWithAction() const { return openWith_; }
    InfoPanel* infoPanel() const { return panel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void askWhereToSave();
    void toggleInfo();
    void placePanel();
    void startDrag();
    void findDefaultApplication();
    std::filesystem::path exportPath(const QString& suffix) const;

    QWidget& window_;
    std::function<PreviewSession*()> current_;
    mutable std::optional<platform::ProcessFolder> exports_;  // made at the first export
    QAction* copy_ = nullptr;
    QAction* save_ = nullptr;
    QAction* info_ = nullptr;
    QAction* openWith_ = nullptr;
    QToolButton* infoButton_ = nullptr;
    InfoPanel* panel_ = nullptr;
    QPointer<QWidget> content_;
    std::optional<QPoint> pressedAt_;
    std::filesystem::path dragFile_;  // the exported PDF, once written for the file shown
    QString defaultEntry_;            // the desktop entry that opens the shown file's type
    int generation_ = 0;              // changes with each file shown: late answers are dropped
};

}  // namespace vorrel::quicklook
