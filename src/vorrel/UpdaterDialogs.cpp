#include "vorrel/UpdaterDialogs.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/Bundle.h"

namespace vorrel {

namespace {
QString appName() {
    const auto bundle = platform::Bundle::main();
    return QString::fromStdString(
        bundle.string("CFBundleDisplayName").value_or(bundle.string("CFBundleName").value_or("Vorrel")));
}

QString link(const QUrl& url, const QString& text) {
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped());
}
}  // namespace

UpdaterDialogs::~UpdaterDialogs() {
    delete dialog_.data();
}

void UpdaterDialogs::show(int icon, const QString& title, const QString& text, bool rich,
                          const QString& details) {
    delete dialog_.data();
    auto* box = new QMessageBox(QMessageBox::Icon(icon), title, text, QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setTextFormat(rich ? Qt::RichText : Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    // Details quote the network or the server: always plain text, never markup.
    if (!details.isEmpty())
        box->setInformativeText(QStringLiteral("<p>%1</p>").arg(details.toHtmlEscaped()));
    box->setAttribute(Qt::WA_DeleteOnClose);
    dialog_ = box;
    box->open();
}

void UpdaterDialogs::showUpToDate(const QString& currentVersion) {
    show(QMessageBox::Information, QObject::tr("You’re up to date!"),
         QObject::tr("%1 %2 is currently the newest version available.").arg(appName(), currentVersion),
         false);
}

void UpdaterDialogs::showUpdateFound(const platform::AppcastItem& item, const QString& currentVersion) {
    QString text = QObject::tr("A new version of %1 is available!").arg(appName()).toHtmlEscaped() +
                   QStringLiteral("<p>") +
                   QObject::tr("%1 %2 is now available; you have %3.")
                       .arg(appName(), item.version, currentVersion)
                       .toHtmlEscaped() +
                   QStringLiteral("</p>");
    QStringList links;
    if (!item.link.isEmpty()) links << link(item.link, QObject::tr("Release page"));
    if (!item.releaseNotesLink.isEmpty()) links << link(item.releaseNotesLink, QObject::tr("Release notes"));
    if (!links.isEmpty()) text += QStringLiteral("<p>") + links.join(QStringLiteral(" · ")) + QStringLiteral("</p>");
    show(QMessageBox::Information, QObject::tr("Software Update"), text, true);
}

void UpdaterDialogs::showUpdateError(const QString& reason, const QString& detail) {
    show(QMessageBox::Warning, QObject::tr("Update Error!"),
         QObject::tr("The check for updates failed.") + QLatin1Char('\n') + reason, false,
         detail.isEmpty() ? QString() : QObject::tr("Technical details: %1").arg(detail));
}

}  // namespace vorrel
