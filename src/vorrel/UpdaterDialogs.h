#pragma once
// UpdaterDialogs: the updater's results shown as non-modal message boxes: up to date; a
// newer version with links to its page and release notes; the check failed, with the
// reason and, below it, the technical details. Texts from the feed are shown as plain text (escaped), never as markup.
//
// Thread-safety: GUI thread only.

#include <QMessageBox>
#include <QPointer>

#include "updates/UserDriver.h"


namespace vorrel {

class UpdaterDialogs : public platform::UserDriver {
public:
    ~UpdaterDialogs() override;
    void showUpToDate(const QString& currentVersion) override;
    void showUpdateFound(const platform::AppcastItem& item, const QString& currentVersion) override;
    void showUpdateError(const QString& reason, const QString& detail) override;

    // The dialog on screen, if any (one at a time: a new result replaces the old one).
    QMessageBox* currentDialog() const { return dialog_; }

private:
    void show(int icon, const QString& title, const QString& text, bool rich,
              const QString& details = {});
    QPointer<QMessageBox> dialog_;
};

}  // namespace vorrel
