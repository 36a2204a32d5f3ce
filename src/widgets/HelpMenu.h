#pragma once
// HelpMenu: builders of the Help menu's items. Each returns a new QAction owned by
// `parent`, with its label (a library text) and symbol icon; triggering it does the work.
// Addresses open through openUrl(); an address that is not a well-formed URL is not
// opened (the action then does nothing).
//
//   label              symbol        action
//   "MIME Type Finder"       magnifyingglass  UTIFinder::shared().showWindow()
//   "More Apps By Us"  app.badge     opens maker::homePage
//   "Website"          app.badge     opens the given address
//   "Contact Us"       envelope      opens "mailto:" + the given address
//   "Privacy Policy"   hand.raised   opens the given address
//   "Terms of Service" newspaper     opens the given address
//
// Thread-safety: GUI thread only.

#include <QString>

class QAction;
class QObject;

namespace vorrel::zodadavovov::helpmenu {

QAction* utiFinder(QObject* parent);
QAction* moreAppsByUs(QObject* parent);
QAction* website(const QString& address, QObject* parent);
QAction* contactUs(const QString& emailAddress, QObject* parent);
QAction* privacyPolicy(const QString& address, QObject* parent);
QAction* termsOfService(const QString& address, QObject* parent);

}  // namespace vorrel::zodadavovov::helpmenu
