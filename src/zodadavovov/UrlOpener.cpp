#include "zodadavovov/UrlOpener.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

#include "zodadavovov/LibraryBundle.h"

namespace vorrel::zodadavovov {

namespace {
UrlOpener& currentOpener() {
    static UrlOpener opener;
    return opener;
}
}  // namespace

UrlOpener setUrlOpener(UrlOpener opener) {
    UrlOpener previous = std::move(currentOpener());
    currentOpener() = std::move(opener);
    return previous;
}

bool openUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty()) return false;
    if (const UrlOpener& opener = currentOpener()) return opener(url);
    if (QDesktopServices::openUrl(url)) return true;
    // Nothing on this desktop opens it: say so, with the address to copy.
    auto* box = new QMessageBox(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                                libraryText(ZV_TEXT("No application could open this address.")), QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setObjectName(QStringLiteral("cannotOpenUrl"));
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(libraryText(ZV_TEXT("The address, to copy:")) +
                            QStringLiteral("<p><tt>%1</tt></p>").arg(url.toDisplayString().toHtmlEscaped()));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

}  // namespace vorrel::zodadavovov
