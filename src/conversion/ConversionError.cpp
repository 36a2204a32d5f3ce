#include "conversion/ConversionError.h"

#include <locale>
#include <sstream>

namespace vorrel {

namespace {

std::string describe(ConversionError::Case kind, std::int32_t status) {
    switch (kind) {
        case ConversionError::Case::converterFailed:
            return "Ghostscript exited with status " + std::to_string(status) + ".";
        case ConversionError::Case::outputMissing:
            return "Ghostscript exited without producing an output file.";
        case ConversionError::Case::timedOut:
            return ConversionError::timedOutText(
                std::chrono::seconds(ConversionError::kTimeLimitSeconds));
        case ConversionError::Case::unreadableOutput:
            return "The converted file could not be read.";
        case ConversionError::Case::emptyFile:
            return "The EPS file is empty.";
        case ConversionError::Case::outputTooLarge:
            return "Ghostscript wrote more than 1 GiB.";
    }
    return {};
}

}  // namespace

std::string ConversionError::timedOutText(std::chrono::milliseconds limit) {
    std::ostringstream seconds;
    seconds.imbue(std::locale::classic());
    if (limit.count() % 1000 == 0)
        seconds << limit.count() / 1000;
    else
        seconds << static_cast<double>(limit.count()) / 1000.0;
    return "Ghostscript did not finish within " + seconds.str() + " seconds.";
}

ConversionError ConversionError::converterFailed(std::int32_t status) {
    return ConversionError(Case::converterFailed, status);
}

ConversionError::ConversionError(Case kind, std::int32_t status)
    : case_(kind), status_(status), description_(describe(kind, status)) {}

}  // namespace vorrel
