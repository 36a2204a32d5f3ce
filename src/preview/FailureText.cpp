#include "preview/FailureText.h"

#include <QCoreApplication>

#include "conversion/ConversionError.h"
#include "conversion/ConverterRun.h"
#include "conversion/Decompression.h"

namespace vorrel {

namespace {
// The texts keep the controller's catalogue context, where they were first translated.
QString tr(const char* text) { return QCoreApplication::translate("vorrel::PreviewViewController", text); }
}  // namespace

QString failureText(const ConversionError& error) {
    switch (error.kind()) {
    case ConversionError::Case::converterFailed:
        // Ghostscript ends with 1 when the file itself stops it.
        if (error.status() == 1)
            return tr("Ghostscript could not convert this file. It may be damaged, or not be PostScript.");
        return tr("Ghostscript stopped with an error (status %1) while converting this file.")
            .arg(error.status());
    case ConversionError::Case::outputMissing: return tr("Ghostscript finished without making a preview of this file.");
    case ConversionError::Case::timedOut:
        return tr("Ghostscript did not finish within %1 seconds.").arg(ConversionError::kTimeLimitSeconds);
    case ConversionError::Case::unreadableOutput: return tr("The converted file could not be read.");
    case ConversionError::Case::emptyFile: return tr("The EPS file is empty.");
    case ConversionError::Case::outputTooLarge: return tr("Ghostscript wrote more than 1 GiB.");
    }
    return QString::fromUtf8(error.what());
}

quicklook::PreviewError previewError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ConversionError& conversion) {
        return {failureText(conversion).toStdString()};
    } catch (const DecompressionError& decompression) {
        if (decompression.limitText().empty()) return {tr("The compressed file is damaged.").toStdString()};
        return {tr("The compressed file expands to more than %1.")
                    .arg(QString::fromStdString(decompression.limitText()))
                    .toStdString()};
    } catch (const ConverterRun::Cancelled&) {
        return {tr("The preview was stopped.").toStdString()};
    } catch (const ConverterRun::NotEnoughSpace& space) {
        return {tr("Not enough disk space to preview \u201c%1\u201d: Vorrel needs about %2 MB in %3.")
                    .arg(QString::fromStdString(space.name()))
                    .arg(space.megabytes())
                    .arg(QString::fromStdString(space.folder()))
                    .toStdString()};
    } catch (const std::exception& exception) {
        return {tr("The preview could not be made: %1").arg(QString::fromLocal8Bit(exception.what())).toStdString()};
    } catch (...) {
        return {tr("The preview could not be made.").toStdString()};
    }
}

}  // namespace vorrel
