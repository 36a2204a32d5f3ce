#pragma once
// DefaultApplication: makes Vorrel Quick Look the desktop's default application for the
// files it previews and says the outcome in the user's words: a headline, and unless all
// went well the reason and what the user can do.
//
// makeQuickLookDefaultForEps(context, done):
//   1. platform::DefaultApplications sets vorrel-quicklook.desktop as the default for every
//      served type (kServedMimeTypes): sessions that call EPS files
//      application/postscript then open them in Vorrel Quick Look too.
//   2. Reads the default of each served type back (`xdg-mime query default`): the tool
//      answers success also when it could not write.
//   3. Asks the session what it classifies a sample EPS and a sample PostScript file as
//      (`xdg-mime query filetype`, the samples in a temporary folder removed afterwards).
//   4. ok, with "Vorrel Quick Look now opens EPS files.", only when every read-back names
//      our entry and every sample is of a served type; otherwise what did not take.
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
        QString reason;    // why not and what to do; empty on success
    };

    // Runs the set-up; done arrives on the GUI thread unless context was destroyed first.
    static void makeQuickLookDefaultForEps(QObject* context, std::function<void(const Result&)> done);
};

}  // namespace vorrel
