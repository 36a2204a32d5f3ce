#pragma once
// DefaultApplication: makes Vorrel Quick Look the desktop's default application for EPS and
// PostScript files (platform::DefaultApplications with vorrel-quicklook.desktop and every
// type of kServedMimeTypes, ServedTypes.h) and
// says the outcome in the user's words: a headline, and for a failure the reason.
//
// Thread-safety: GUI thread only.

#include <functional>

#include <QCoreApplication>
#include <QString>

namespace vorrel {

class DefaultApplication {
    Q_DECLARE_TR_FUNCTIONS(vorrel::DefaultApplication)
public:
    static constexpr const char* desktopEntry = "vorrel-quicklook.desktop";

    struct Result {
        bool ok = false;
        QString headline;  // "Vorrel Quick Look now opens EPS files.", or what could not be done
        QString reason;    // why not; empty on success
    };

    // Runs the set-up; done arrives on the GUI thread unless context was destroyed first.
    static void makeQuickLookDefaultForEps(QObject* context, std::function<void(const Result&)> done);
};

}  // namespace vorrel
