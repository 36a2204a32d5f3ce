#pragma once
// The contract between the quick-look service (vorrel-quicklook) and a preview extension.
//
// An extension is a Qt plug-in module whose root object implements PreviewExtension and
// whose metadata JSON lists the MIME types it serves:
//     { "MimeTypes": [ "image/x-eps", "application/postscript", ... ] }
// For each file the service:
//   1. asks the extension for a new controller (makeController()),
//   2. asks the controller for its view (view(); the first call loads it),
//   3. calls preparePreviewOfFile(file, completion) once,
//   4. on success shows view() sized from preferredContentSize(); on failure shows its own
//      fallback with the error's text,
//   4a. a service that shows a window may ask for a first look (setInterimHandler() before
//      step 3): the handler is called when the view shows something worth showing before the
//      request ends (a document's first page while the whole is converted). The service then
//      shows view() sized from preferredContentSize() as in step 4, and leaves the window where
//      and as large as it is when the request ends: on success the view shows the result in
//      place; on failure the view says the error itself over what it reached;
//   3a. a service may prepare a preview ahead of need (a file the user is likely to look at
//      next): setBackground() before step 3 makes the request's work yield to everything
//      else; such a request may fail for want of resources that a foreground one would wait
//      for, so the service asks again in the foreground before it shows that failure;
//   5. releases the controller when the preview goes away;
//   6. before it exits, calls shutDown() on every extension it loaded: the extension stops
//      its work and waits for its threads (bounded), so none of them runs the module's code
//      while the process tears it down.
//
// Thread-safety: every call comes from the GUI thread, and the completion is called on the
// GUI thread, exactly once per request, unless the controller is released before the
// request ends, in which case it is never called.

#include <QtPlugin>
#include <QSizeF>
#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <cstdint>

class QWidget;

namespace vorrel::quicklook {

// What a failed request hands back: the error's user-readable text.
struct PreviewError {
    std::string localizedDescription;
};

// Called once with nothing on success, or with the error that stopped the request.
using PreviewCompletion = std::function<void(std::optional<PreviewError>)>;

// A copy of the drawing to take elsewhere: the cropped PDF (a document's whole PDF), or its
// first page as a PNG image at `dotsPerInch`, on white unless `transparent`.
struct ExportRequest {
    enum class Format { PDF, PNG };
    static constexpr int kMinimumDotsPerInch = 72;
    static constexpr int kMaximumDotsPerInch = 600;

    std::filesystem::path destination;
    Format format = Format::PDF;
    int dotsPerInch = 144;
    bool transparent = false;
};

// What a previewed file is, as its bytes, its comments and its converted PDF say. Texts are
// the file's own, unescaped (the service escapes them for display).
struct PreviewFacts {
    struct Font {
        std::string name;  // without a subset's "ABCDEF+" tag
        bool embedded = false;
        friend bool operator==(const Font&, const Font&) = default;
    };
    double widthPoints = 0, heightPoints = 0;  // the first page: a drawing's crop box
    int pages = 0;
    std::string title, creator, creationDate, forWhom, languageLevel;  // DSC comments
    bool document = false;                                             // else EPS
    std::string compression;                                           // "", "gzip", "bzip2"
    std::uint64_t bytes = 0;                                           // as stored
    std::vector<Font> fonts;                                           // in the PDF, sorted
};
using FactsCompletion = std::function<void(std::optional<PreviewFacts>)>;

class PreviewingController {
public:
    virtual ~PreviewingController() = default;

    // The controller's root view; loads it on the first call. The controller owns it: the
    // service may reparent it, and must release the controller before the view's new
    // parent goes away or take the view out of it first.
    virtual QWidget* view() = 0;
    virtual void preparePreviewOfFile(const std::filesystem::path& url,
                                      PreviewCompletion completion) = 0;
    // The size the content would like to be shown at, in device-independent pixels
    // (points); empty until a request has succeeded.
    virtual QSizeF preferredContentSize() const = 0;

    // After success: the file actually shown (for example a converted file) and its
    // format's name ("PDF", "PNG"). For scripts and tests; empty before success.
    virtual std::filesystem::path previewFileURL() const = 0;
    virtual QString previewFormatName() const = 0;
    // After success: the number of pages shown, for a PDF; 0 otherwise.
    virtual int previewPageCount() const = 0;

    // Called on the GUI thread at most once per request, before its completion, when the view
    // shows a first look (step 4a). Without a handler the controller shows nothing early and
    // does no work for it.
    virtual void setInterimHandler(std::function<void()> shown) = 0;

    // Zooms the shown content by `factor`, or back to fitted for 0. False when the content
    // does not zoom itself (the service zooms a PDF view it finds in the view directly).
    virtual bool zoom(double /*factor*/) { return false; }

    // After success: false when what is shown is only part of the file (a document whose later
    // pages could not be drawn).
    virtual bool previewComplete() const { return true; }

    // Step 3a: called before preparePreviewOfFile().
    virtual void setBackground() {}

    // After success: writes the drawing as `request` says; the completion (on the GUI thread,
    // exactly once unless the controller is released first) has nothing or the error. What was
    // at the destination is replaced whole or not at all; a folder, the source itself, an
    // unwritable place or a resolution outside [72, 600] is an error and nothing is written.
    virtual void exportPreview(const ExportRequest& request, PreviewCompletion completion) = 0;

    // After success: the file's facts, read off the GUI thread; nothing when they cannot be
    // read. The completion comes as exportPreview()'s does.
    virtual void describePreview(FactsCompletion completion) = 0;
};

class PreviewExtension {
public:
    virtual ~PreviewExtension() = default;
    virtual std::unique_ptr<PreviewingController> makeController() = 0;
    // Stops all work, waiting at most `bound`; false when some work did not end in time.
    // No controller may be used afterwards.
    virtual bool shutDown(std::chrono::milliseconds bound) = 0;
};

}  // namespace vorrel::quicklook

#define VorrelPreviewExtension_iid "com.quarnix.Vorrel.PreviewExtension/5"
Q_DECLARE_INTERFACE(vorrel::quicklook::PreviewExtension, VorrelPreviewExtension_iid)
