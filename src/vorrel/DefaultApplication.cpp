#include "vorrel/DefaultApplication.h"

#include "platform/desktop/DefaultApplications.h"
#include "shared/ServedTypes.h"

namespace vorrel {

namespace {

using Outcome = platform::DefaultApplications::Outcome;

DefaultApplication::Result resultOf(const Outcome& outcome) {
    const QString entry = QString::fromLatin1(DefaultApplication::desktopEntry);
    if (outcome.status == Outcome::Status::Done)
        return {true, DefaultApplication::tr("Vorrel Quick Look now opens EPS files."), {}};
    DefaultApplication::Result result{
        false, DefaultApplication::tr("Vorrel Quick Look could not be made the default application for EPS files."),
        {}};
    switch (outcome.status) {
    case Outcome::Status::EntryNotInstalled:
        result.reason = DefaultApplication::tr(
                            "Its desktop entry “%1” is not installed, so the desktop cannot find it. "
                            "Install Vorrel, then try again.")
                            .arg(entry);
        break;
    case Outcome::Status::ToolMissing:
        result.reason = DefaultApplication::tr(
            "The program “xdg-mime” was not found. It comes with the package “xdg-utils”.");
        break;
    case Outcome::Status::ToolFailed:
        result.reason = DefaultApplication::tr("“xdg-mime” failed: %1").arg(outcome.message);
        break;
    case Outcome::Status::Done:
        break;
    }
    return result;
}

}  // namespace

void DefaultApplication::makeQuickLookDefaultForEps(QObject* context, std::function<void(const Result&)> done) {
    QStringList mimeTypes;
    for (const std::string_view type : kServedMimeTypes)
        mimeTypes << QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size()));
    platform::DefaultApplications::setDefault(QString::fromLatin1(desktopEntry), mimeTypes,
                                              context, [done = std::move(done)](const Outcome& outcome) {
                                                  if (done) done(resultOf(outcome));
                                              });
}

}  // namespace vorrel
