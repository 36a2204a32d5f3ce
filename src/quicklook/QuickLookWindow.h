#pragma once
// QuickLookWindow: the service's window over the files given on the command line.
//
// For the current file it runs one PreviewSession. When the request takes longer than
// kBusyDelay the window appears with a busy indicator; when it ends, the window shows the
// controller's view (sized from the preferred content size, bounded by the screen) or a
// FallbackView with the error's text, titled with the file name. A controller's first look
// (a document's first page, PreviewingController step 4a) is shown the same way as soon as it
// is there; the request's end then leaves the window where and as large as it is. Keys: Space and Escape
// close, and closing stops the preview under way (its controller is released, which stops its
// conversion); Ctrl+plus, Ctrl+minus and Ctrl+wheel zoom the PDF or PNG view, Ctrl+0 fits it again.
//
// Stepping: Left and Right move to the previous and next file; past either end nothing moves and
// a short cue says so (endCue()). Several files given: those. One file given: once its preview
// is on screen, the files of its folder that an extension serves (FolderListing), kept current
// while files come and go; the file given stays among them. The title is the file's name, with
// its place ("fig-07.eps — 7 of 20") when there is more than one file, and the application's
// name when that fits too (titleFor()); the window is at least as wide as its title bar needs
// for the whole title, up to kTitleWidthCap, beyond which the name is elided in the middle.
// Where the window system places windows itself (Wayland: a client cannot move its window),
// the window never moves and keeps its size between files of similar size (steadySize());
// elsewhere a new size grows or shrinks around the same centre.
// The drawing shows on a white page whatever the desktop's colour scheme.
// Ahead of need: once a file is shown, its next and previous files are prepared in the
// background (PreviewSession::setBackground()); a step to one that is ready shows it at once,
// one still under way carries on in the foreground. Until a new file can be drawn the old
// drawing stays, dimmed, with the busy indicator over it. Previews nobody is about to see are
// released (which stops their conversions).
// What the drawing can be used for (copy, save, drag, open with, information): PreviewActions.
//
// Thread-safety: GUI thread only.

#include <QFontMetrics>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QSizeF>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPixmap;
class QStackedLayout;
class QTimer;
class QVBoxLayout;

namespace vorrel::quicklook {

class ExtensionRegistry;
class FolderListing;
class PreviewActions;
class PreviewSession;

class QuickLookWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kBusyDelay{250};
    // Size of the window when the content gives none (the fallback view).
    static constexpr QSize kFallbackSize{480, 360};
    static constexpr QSize kMinimumSize{200, 150};

    QuickLookWindow(ExtensionRegistry& registry, std::vector<std::filesystem::path> files,
                    QWidget* parent = nullptr);
    ~QuickLookWindow() override;

    // How long the cue at the ends stays.
    static constexpr std::chrono::milliseconds kEndCueTime{1500};

    // Starts the preview of files[index], replacing the current one; outside the list shows
    // the end cue instead.
    void showFile(int index);
    void showNext() { showFile(index_ + 1); }
    void showPrevious() { showFile(index_ - 1); }
    int currentIndex() const { return index_; }
    const std::vector<std::filesystem::path>& files() const { return files_; }
    // The files prepared ahead, and whether one is ready to show (for tests and measurements).
    std::vector<std::filesystem::path> filesAhead() const;
    bool isReadyAhead(const std::filesystem::path& file) const;
    // Off: nothing is prepared ahead (a measurement's baseline). On by default.
    void setPreparingAhead(bool on) { preparingAhead_ = on; }
    // The cue at the ends ("Last file"); hidden when not shown.
    QLabel* endCue() const { return endCue_; }
    // The old drawing kept, dimmed, while the next one is made; null when none shows.
    QLabel* staleDrawing() const { return stale_; }
    // Copy, Save As, drag, Open With, Information (PreviewActions.h).
    PreviewActions* actions() const { return actions_; }
    PreviewSession* session() const { return session_.get(); }
    // What the window shows below the title: the controller's view, the fallback, or null
    // while the busy indicator shows.
    QWidget* content() const { return content_; }
    bool isBusyIndicatorShown() const;

    // The window size for content of `content` points within `bounds`: scaled down keeping
    // its aspect ratio until it fits, never below kMinimumSize; kFallbackSize (bounded) when
    // the content has no size.
    static QSize fittedSize(QSizeF content, QSize bounds);

    // The application's name at the end of titles.
    static inline const QString kApplicationTitle = QStringLiteral("Vorrel Quick Look");
    // What a title bar takes beside the title's text (buttons, margins), and the widest a
    // window grows for its title.
    static constexpr int kTitleBarReserve = 100;
    static constexpr int kTitleWidthCap = 720;
    // The title for `textWidth` pixels of title text in `metrics`: "name — place — Vorrel
    // Quick Look" (place may be empty) when it fits, else without the application's name,
    // else with the name elided in the middle.
    static QString titleFor(const QString& name, const QString& place, const QFontMetrics& metrics,
                            int textWidth);
    // The size for `wanted` where the window cannot be placed by the program: the current size
    // when `wanted` is similar (each side within a factor of 1.5), grown to cover `wanted`; a
    // size quite unlike the current one is taken as it is.
    static QSize steadySize(QSize current, QSize wanted);

signals:
    // The controller's first look is on screen; the request goes on.
    void interimContentShown();
    // The current file's outcome is on screen (its view or the fallback).
    void contentShown();
    // The shown content painted for the first time.
    void contentPainted();
    // The list of files changed (the folder was listed).
    void filesListed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void sessionFinished();
    void contentOnScreen();
    void takeListing(std::vector<std::filesystem::path> files);
    void prepareNeighbours();
    void releaseContent(std::unique_ptr<PreviewSession> previous);
    void showStale(const QPixmap& drawing);
    void hideStale();
    void updateTitle();
    QFontMetrics titleMetrics() const;
    std::unique_ptr<PreviewSession> takeAhead(const std::filesystem::path& file);
    void place(QWidget* content, QSize size);
    void showBusyIndicator();
    void zoom(double factor);
    QSize screenBounds() const;

    ExtensionRegistry& registry_;
    std::vector<std::filesystem::path> files_;
    int index_ = -1;
    std::unique_ptr<PreviewSession> session_;
    std::vector<std::unique_ptr<PreviewSession>> ahead_;
    bool listFolder_ = false;  // one file given: its folder's files
    bool preparingAhead_ = true;
    std::unique_ptr<FolderListing> listing_;
    QLabel* endCue_ = nullptr;
    QTimer* endCueTimer_ = nullptr;
    QLabel* stale_ = nullptr;
    QWidget* staleBusy_ = nullptr;
    PreviewActions* actions_ = nullptr;
    QPointer<QWidget> content_;
    std::optional<QPoint> centre_;  // the window's centre when the current file was chosen
    QWidget* fallback_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QWidget* busyPage_ = nullptr;
    QWidget* contentPage_ = nullptr;
    QVBoxLayout* contentLayout_ = nullptr;
    QTimer* busyTimer_ = nullptr;
    bool paintReported_ = false;
    bool interimShown_ = false;
};

}  // namespace vorrel::quicklook
