#include "quicklook/NemoPreviewer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "quicklook/ExtensionRegistry.h"
#include "quicklook/FileCard.h"
#include "quicklook/QuickLookWindow.h"

namespace vorrel::quicklook {

NemoPreviewer::NemoPreviewer(ExtensionRegistry& registry, std::chrono::milliseconds idleExit,
                             QObject* parent)
    : QObject(parent), registry_(registry) {
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(idleExit);
    connect(&idleTimer_, &QTimer::timeout, this, &NemoPreviewer::idle);
    idleTimer_.start();
}

NemoPreviewer::~NemoPreviewer() {
    delete shown_.data();
    if (bus_) {
        bus_->unregisterObject(QLatin1String(objectPath));
        bus_->unregisterService(QLatin1String(busName));
    }
}

bool NemoPreviewer::publish(QDBusConnection& bus, QString* error) {
    if (!bus.registerObject(QLatin1String(objectPath), this, QDBusConnection::ExportScriptableSlots)) {
        if (error) *error = bus.lastError().message();
        return false;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        QLatin1String(busName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        if (error)
            *error = tr("Another program owns %1 on the session bus.").arg(QLatin1String(busName));
        bus.unregisterObject(QLatin1String(objectPath));
        return false;
    }
    bus_ = std::make_unique<QDBusConnection>(bus);
    return true;
}

void NemoPreviewer::ShowFile(const QString& uri, int xid, bool closeIfShown) {
    const QUrl file(uri);
    if (closeIfShown && shown_ && shownFile_ == file) {
        Close();
        return;
    }
    show(file, static_cast<quint32>(xid));
}

void NemoPreviewer::Close() {
    if (shown_) shown_->close();  // deletes it on close; shownClosed() follows
}

void NemoPreviewer::show(const QUrl& file, quint32 xid) {
    idleTimer_.stop();
    if (shown_) {
        // The old one goes at once, so its end cannot start the idle timer.
        disconnect(shown_, nullptr, this, nullptr);
        if (QWindow* handle = shown_->windowHandle()) handle->setTransientParent(nullptr);
        shown_->close();
    }
    QString reason;
    const std::filesystem::path path = QFile::encodeName(file.toLocalFile()).toStdString();
    QWidget* widget = nullptr;
    if (file.isLocalFile() && registry_.extensionFor(path, &reason)) {
        widget = new QuickLookWindow(registry_, {path});
    } else {
        widget = new FileCard(file);
        widget->show();
    }
    widget->setAttribute(Qt::WA_DeleteOnClose);
    shown_ = widget;
    shownFile_ = file;
    connect(widget, &QObject::destroyed, this, [this, widget] {
        if (!shown_ || shown_.data() == widget) shownClosed();
    });

    // Above Nemo's window, where the foreign window can be known (X11).
    nemoWindow_.reset();
    if (xid != 0 && QGuiApplication::platformName() == QLatin1String("xcb")) {
        widget->winId();
        nemoWindow_.reset(QWindow::fromWinId(xid));
        if (nemoWindow_ && widget->windowHandle()) widget->windowHandle()->setTransientParent(nemoWindow_.get());
    }
}

void NemoPreviewer::shownClosed() {
    shown_.clear();
    shownFile_.clear();
    nemoWindow_.reset();
    idleTimer_.start();
}

}  // namespace vorrel::quicklook
