#include "vorrel/DefaultApplication.h"

#include <memory>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/desktop/DefaultApplications.h"
#include "conversion/ServedTypes.h"

namespace vorrel {

namespace {

using Outcome = platform::DefaultApplications::Outcome;
using Result = DefaultApplication::Result;

QString entry() {
    return QString::fromLatin1(DefaultApplication::desktopEntry);
}

QStringList servedTypes() {
    QStringList types;
    for (const std::string_view type : kServedMimeTypes) types << QString::fromLatin1(type.data(), qsizetype(type.size()));
    return types;
}

QString notMadeDefault() {
    return DefaultApplication::tr("Vorrel Quick Look could not be made the default application for EPS files.");
}

QString openWithAdvice() {
    return DefaultApplication::tr(
        "In File Manager, choose “Open With → Vorrel Quick Look” for such a file and make it the default there.");
}

// What a failed run of xdg-mime means, as a sentence.
QString toolFailure(const Outcome& outcome) {
    if (!outcome.message.isEmpty()) return DefaultApplication::tr("“xdg-mime” failed: %1").arg(outcome.message);
    switch (outcome.ending) {
    case Outcome::Ending::TimedOut: return DefaultApplication::tr("“xdg-mime” gave no answer in time.");
    case Outcome::Ending::Signalled: return DefaultApplication::tr("“xdg-mime” was ended before it finished.");
    case Outcome::Ending::Exited: break;
    }
    // xdg-utils' documented exit statuses.
    switch (outcome.exitStatus) {
    case 3: return DefaultApplication::tr("“xdg-mime” needs a program that is not installed.");
    case 4: return DefaultApplication::tr("“xdg-mime” could not change the list of default applications.");
    case 5: return DefaultApplication::tr("“xdg-mime” has no permission to read or write a file it needs.");
    default:
        return DefaultApplication::tr("“xdg-mime” failed without saying why (error status %1).")
            .arg(outcome.exitStatus);
    }
}

Result failureOf(const Outcome& outcome) {
    Result result{false, notMadeDefault(), {}};
    switch (outcome.status) {
    case Outcome::Status::EntryNotInstalled:
        result.reason = DefaultApplication::tr(
                            "Its desktop entry “%1” is not installed, so the desktop cannot find it. "
                            "Install Vorrel, then try again.")
                            .arg(entry());
        break;
    case Outcome::Status::ToolMissing:
        result.reason = DefaultApplication::tr(
            "The program “xdg-mime” was not found. It comes with the package “xdg-utils”.");
        break;
    case Outcome::Status::ToolFailed: result.reason = toolFailure(outcome); break;
    case Outcome::Status::Done: break;
    }
    return result;
}

// The read-back and classification steps after xdg-mime reported success. Owned by the
// context (as a child object), so that it and its temporary samples go with it.
class Check : public QObject {
public:
    Check(QObject* context, std::function<void(const Result&)> done)
        : QObject(context), done_(std::move(done)), pending_(servedTypes()) {}

    void start() { nextDefault(); }

    void finish(const Result& result) {
        if (done_) done_(result);
        deleteLater();
    }

private:
    struct Sample {
        QString kind;  // as the user names it
        QString name;
        QByteArray content;
    };

    void nextDefault() {
        if (pending_.isEmpty()) return writeSamples();
        const QString type = pending_.takeFirst();
        platform::DefaultApplications::queryDefault(type, this, [this, type](const Outcome& outcome) {
            if (outcome.status != Outcome::Status::Done) return finish(failureOf(outcome));
            if (outcome.answer != entry()) notTaken_ << type;
            nextDefault();
        });
    }

    void writeSamples() {
        if (!notTaken_.isEmpty()) {
            const QString list =
                QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                         QStringLiteral("/mimeapps.list"));
            return finish({false, notMadeDefault(),
                           DefaultApplication::tr("“xdg-mime” reported success, but the desktop still names another "
                                                  "application for %1. Its list of default applications (%2) may "
                                                  "not be writable.")
                                   .arg(notTaken_.join(QStringLiteral(", ")), list) +
                               QLatin1Char(' ') + openWithAdvice()});
        }
        samples_ = {
            {QStringLiteral("EPS"), QStringLiteral("sample.eps"),
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 72\nnewpath 0 0 moveto 72 72 lineto stroke\n"},
            {QStringLiteral("PostScript"), QStringLiteral("sample.ps"),
             "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\nshowpage\n"},
        };
        for (const Sample& sample : std::as_const(samples_)) {
            QFile file(folder_.filePath(sample.name));
            if (!folder_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(sample.content) < 0) {
                // Nothing to ask the session about: the association itself is in place.
                return finish({true, DefaultApplication::tr("Vorrel Quick Look now opens EPS files."), {}});
            }
        }
        nextSample();
    }

    void nextSample() {
        if (samples_.isEmpty()) return finish({true, DefaultApplication::tr("Vorrel Quick Look now opens EPS files."), {}});
        const Sample sample = samples_.takeFirst();
        platform::DefaultApplications::queryFileType(
            folder_.filePath(sample.name), this, [this, sample](const Outcome& outcome) {
                const QString headline = DefaultApplication::tr("%1 files may still open in another application.")
                                             .arg(sample.kind);
                if (outcome.status != Outcome::Status::Done || outcome.answer.isEmpty()) {
                    return finish({false, headline,
                                   DefaultApplication::tr("Vorrel Quick Look is their default application, but "
                                                          "this session could not say what type a %1 file is.")
                                           .arg(sample.kind) +
                                       QLatin1Char(' ') + openWithAdvice()});
                }
                if (!servedTypes().contains(outcome.answer)) {
                    return finish({false, headline,
                                   DefaultApplication::tr("This session classifies %1 files as “%2”, a type "
                                                          "Vorrel Quick Look does not open.")
                                           .arg(sample.kind, outcome.answer) +
                                       QLatin1Char(' ') + openWithAdvice()});
                }
                nextSample();
            });
    }

    std::function<void(const Result&)> done_;
    QStringList pending_;
    QStringList notTaken_;
    QTemporaryDir folder_;
    QList<Sample> samples_;
};

}  // namespace

void DefaultApplication::makeQuickLookDefaultForEps(QObject* context, std::function<void(const Result&)> done) {
    auto* check = new Check(context, std::move(done));
    platform::DefaultApplications::setDefault(entry(), servedTypes(), check, [check](const Outcome& outcome) {
        if (outcome.status == Outcome::Status::Done)
            check->start();
        else
            check->finish(failureOf(outcome));
    });
}

}  // namespace vorrel
