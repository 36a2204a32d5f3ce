#include "quicklook/Snapshot.h"

#include <QApplication>
#include <QEventLoop>
#include <QPdfPageRenderer>
#include <QPdfView>
#include <QTimer>
#include <QWidget>

namespace vorrel::quicklook {

QImage renderSnapshot(QWidget& view, QSize size) {
    view.resize(size);
    view.ensurePolished();
    QImage image = view.grab().toImage();
    QPdfView* pdfView = view.findChild<QPdfView*>();
    if (!pdfView) pdfView = qobject_cast<QPdfView*>(&view);
    if (!pdfView || !pdfView->document()) return image;

    // The first paint asked the view's page renderer for the visible page; grab again once
    // it has delivered it.
    auto* renderer = pdfView->findChild<QPdfPageRenderer*>();
    if (renderer) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(renderer, &QPdfPageRenderer::pageRendered, &loop,
                         [&loop] { QTimer::singleShot(0, &loop, &QEventLoop::quit); });
        deadline.start(kRenderWait);
        loop.exec();
    }
    QApplication::processEvents();
    return view.grab().toImage();
}

}  // namespace vorrel::quicklook
