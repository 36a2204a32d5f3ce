#include "widgets/HelpMenu.h"

#include <QAction>

#include "widgets/LibraryBundle.h"
#include "widgets/MakerLinks.h"
#include "widgets/SymbolIcon.h"
#include "widgets/UTIFinder.h"
#include "widgets/UrlOpener.h"

namespace vorrel::zodadavovov::helpmenu {

namespace {

QAction* opener(const char* label, std::string_view symbol, const QString& address,
                QObject* parent) {
    auto* action = new QAction(symbolIcon(symbol), libraryText(label), parent);
    const QUrl url(address, QUrl::StrictMode);
    QObject::connect(action, &QAction::triggered, action, [url] { openUrl(url); });
    return action;
}

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

}  // namespace

QAction* utiFinder(QObject* parent) {
    auto* action = new QAction(symbolIcon("magnifyingglass"), libraryText(ZV_TEXT("MIME Type Finder")),
                               parent);
    QObject::connect(action, &QAction::triggered, action, [] { UTIFinder::shared().showWindow(); });
    return action;
}

QAction* moreAppsByUs(QObject* parent) {
    return opener(ZV_TEXT("More Apps By Us"), "app.badge", text(maker::homePage), parent);
}

QAction* website(const QString& address, QObject* parent) {
    return opener(ZV_TEXT("Website"), "app.badge", address, parent);
}

QAction* contactUs(const QString& emailAddress, QObject* parent) {
    return opener(ZV_TEXT("Contact Us"), "envelope", QStringLiteral("mailto:") + emailAddress,
                  parent);
}

QAction* privacyPolicy(const QString& address, QObject* parent) {
    return opener(ZV_TEXT("Privacy Policy"), "hand.raised", address, parent);
}

QAction* termsOfService(const QString& address, QObject* parent) {
    return opener(ZV_TEXT("Terms of Service"), "newspaper", address, parent);
}

}  // namespace vorrel::zodadavovov::helpmenu
