#pragma once
// ConversionError: the ways a Ghostscript conversion can fail, each with a fixed text.
//
//   converterFailed(status)  "Ghostscript exited with status N."
//   outputMissing            "Ghostscript exited without producing an output file."
//   timedOut                 "Ghostscript did not finish within 60 seconds."
//   unreadableOutput         "The converted file could not be read."
//   emptyFile                "The EPS file is empty."
//   outputTooLarge           "Ghostscript wrote more than 1 GiB."
//
// timedOutText(limit) is the timedOut text for another limit (the thumbnailer's), the seconds
// written as a whole number where they are one ("15"), else as a decimal ("1.5").
//
// what() is the description. status() is the exit status for converterFailed and 0 for the
// other cases. The texts are user-visible and stay exactly as they are. A ConversionError is an
// immutable value; copies may be used from any thread.

#include <chrono>
#include <cstdint>
#include <exception>
#include <string>

namespace vorrel {

class ConversionError : public std::exception {
public:
    enum class Case {
        converterFailed,
        outputMissing,
        timedOut,
        unreadableOutput,
        emptyFile,
        outputTooLarge
    };

    // The time limit of a conversion, as the timedOut text states it.
    static constexpr int kTimeLimitSeconds = 60;
    static std::string timedOutText(std::chrono::milliseconds limit);

    static ConversionError converterFailed(std::int32_t status);
    static ConversionError outputMissing() { return ConversionError(Case::outputMissing, 0); }
    static ConversionError timedOut() { return ConversionError(Case::timedOut, 0); }
    static ConversionError unreadableOutput() { return ConversionError(Case::unreadableOutput, 0); }
    // The source has no bytes: Ghostscript would make a blank page of it and report success.
    static ConversionError emptyFile() { return ConversionError(Case::emptyFile, 0); }
    // One run wrote more than ConverterRun::kWriteCap bytes in all: it was stopped there.
    static ConversionError outputTooLarge() { return ConversionError(Case::outputTooLarge, 0); }

    Case kind() const { return case_; }
    std::int32_t status() const { return status_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    friend bool operator==(const ConversionError& a, const ConversionError& b) {
        return a.case_ == b.case_ && a.status_ == b.status_;
    }

private:
    ConversionError(Case kind, std::int32_t status);

    Case case_;
    std::int32_t status_;
    std::string description_;
};

}  // namespace vorrel
