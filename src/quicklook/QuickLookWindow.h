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
// conversion); Left and Right move to the previous and next file (a new controller each time);
// Ctrl+plus, Ctrl+minus and Ctrl+wheel zoom the PDF or PNG view, Ctrl+0 fits it again.
//
// Thread-safety: GUI thread only.

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

class QStackedLayout;
class QTimer;
class QVBoxLayout;

namespace vorrel::quicklook {

class ExtensionRegistry;
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

    // Starts the preview of files[index] (bounded to the list), replacing the current one.
    void showFile(int index);
    int currentIndex() const { return index_; }
    PreviewSession* session() const { return session_.get(); }
    // What the window shows below the title: the controller's view, the fallback, or null
    // while the busy indicator shows.
    QWidget* content() const { return content_; }
    bool isBusyIndicatorShown() const;

    // The window size for content of `content` points within `bounds`: scaled down keeping
    // its aspect ratio until it fits, never below kMinimumSize; kFallbackSize (bounded) when
    // the content has no size.
    static QSize fittedSize(QSizeF content, QSize bounds);

signals:
    // The controller's first look is on screen; the request goes on.
    void interimContentShown();
    // The current file's outcome is on screen (its view or the fallback).
    void contentShown();
    // The shown content painted for the first time.
    void contentPainted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void sessionFinished();
    void place(QWidget* content, QSize size);
    void showBusyIndicator();
    void zoom(double factor);
    QSize screenBounds() const;

    ExtensionRegistry& registry_;
    std::vector<std::filesystem::path> files_;
    int index_ = -1;
    std::unique_ptr<PreviewSession> session_;
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
