#include "widgets/UrlOpener.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include "platform/desktop/Launcher.h"
#include "widgets/LibraryBundle.h"

namespace vorrel::zodadavovov {

namespace {
UrlOpener& currentOpener() {
    static UrlOpener opener;
    return opener;
}

// Nothing on this desktop opened it: say so, with the address to copy.
void sayCannotOpen(const QUrl& url, QWidget* window) {
    auto* box = new QMessageBox(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                                libraryText(ZV_TEXT("No application could open this address.")), QMessageBox::Ok,
                                window);
    box->setObjectName(QStringLiteral("cannotOpenUrl"));
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(libraryText(ZV_TEXT("The address, to copy:")) +
                            QStringLiteral("<p><tt>%1</tt></p>").arg(url.toDisplayString().toHtmlEscaped()));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
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
    QPointer<QWidget> window = QApplication::activeWindow();
    platform::Launcher::open(url, [url, window](platform::Launcher::Outcome outcome) {
        if (outcome == platform::Launcher::Outcome::Failed) sayCannotOpen(url, window);
    });
    return true;
}

}  // namespace vorrel::zodadavovov
