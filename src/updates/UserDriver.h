#pragma once
// UserDriver: what the updater shows the user. The application supplies dialogs; tests
// supply a recorder. The updater calls these on the thread it lives on (the GUI thread)
// and never waits for them to be dismissed.

#include <QString>

#include "updates/Appcast.h"

namespace vorrel::platform {

class UserDriver {
public:
    virtual ~UserDriver() = default;

    // A check the user asked for found nothing newer than the running version.
    virtual void showUpToDate(const QString& currentVersion) = 0;
    // A newer release exists; item.link and item.releaseNotesLink may be empty.
    virtual void showUpdateFound(const AppcastItem& item, const QString& currentVersion) = 0;
    // A check the user asked for failed; reason is a sentence for the user, detail the
    // technical reason behind it (may be empty).
    virtual void showUpdateError(const QString& reason, const QString& detail) = 0;
};

}  // namespace vorrel::platform
