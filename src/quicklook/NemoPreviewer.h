#pragma once
// NemoPreviewer: Nemo's previewer, "vorrel-quicklook --nemo-previewer". Nemo sends Space on a
// selected file to the session bus name org.nemo.Preview (object /org/nemo/Preview, interface
// org.nemo.Preview), starting it through a service file when nobody owns the name.
//
//   ShowFile(s uri, i xid, b closeIfShown)
//     closeIfShown and uri already shown: closes it (Space again). Otherwise it replaces what
//     is shown: a file of a type an extension serves opens a QuickLookWindow, any other file a
//     FileCard. On X11 the window is kept above Nemo's (xid). Nemo sends only the first
//     selected file.
//   Close()
//     closes what is shown (Nemo sends it when its last window closes).
//
// With nothing shown for `idleExit` (30 s) it emits idle(); the program quits then, so the
// bus starts it afresh next time. Closing stops the preview under way.
//
// Thread-safety: GUI thread only.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>

class QDBusConnection;
class QWidget;
class QWindow;

namespace vorrel::quicklook {

class ExtensionRegistry;

class NemoPreviewer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.nemo.Preview")
public:
    static constexpr const char* busName = "org.nemo.Preview";
    static constexpr const char* objectPath = "/org/nemo/Preview";
    static constexpr std::chrono::milliseconds kIdleExit{30000};

    explicit NemoPreviewer(ExtensionRegistry& registry, std::chrono::milliseconds idleExit = kIdleExit,
                           QObject* parent = nullptr);
    ~NemoPreviewer() override;

    // Exports the object and takes the name on `bus`; false (with the reason in *error) when
    // another program owns the name. The destructor gives both up again.
    bool publish(QDBusConnection& bus, QString* error);

    // What is shown: a QuickLookWindow, a FileCard, or null.
    QWidget* shown() const { return shown_; }
    const QUrl& shownFile() const { return shownFile_; }

public slots:
    Q_SCRIPTABLE void ShowFile(const QString& uri, int xid, bool closeIfShown);
    Q_SCRIPTABLE void Close();

signals:
    void idle();

private:
    void show(const QUrl& file, quint32 xid);
    void shownClosed();

    ExtensionRegistry& registry_;
    QTimer idleTimer_;
    QPointer<QWidget> shown_;
    QUrl shownFile_;
    std::unique_ptr<QWindow> nemoWindow_;
    std::unique_ptr<QDBusConnection> bus_;
};

}  // namespace vorrel::quicklook
