#include "zodadavovov/UrlOpener.h"

#include <QDesktopServices>

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
    return QDesktopServices::openUrl(url);
}

}  // namespace vorrel::zodadavovov
