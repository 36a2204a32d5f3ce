#pragma once
// IncompleteDocument: a document's PDF that holds only the pages drawn before the document
// failed, and says so itself, so that neither the cache nor any reader takes it for the whole.
//
// The converter marks it (runSetUp()): the document runs inside `stopped`; when its own code
// fails after it has shown at least one page, or when the compressed file it was expanded from
// ended early (kCutInputName), the pages shown so far are kept and the PDF's document
// information gets /VorrelFailedPage (the first page not drawn) and /VorrelError (the
// PostScript error's name, or "cut" for a compressed file that ended early). A failure before
// any page still ends the converter with an error, as a whole failure.
//
// read(pdf) finds that mark in the last kTail bytes of a PDF (where the converter writes the
// document information); nothing for a whole document, or a file that cannot be read.
//
// Thread-safety: plain functions; call them from any thread.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace vorrel {

// The name an expanded input gets when its compressed file ended early (StagedInput.h).
inline constexpr const char* kCutInputName = "input-cut.ps";

struct IncompleteDocument {
    static constexpr std::size_t kTail = 1 << 20;

    int failedPage = 0;  // 1-based: the first page not drawn
    std::string error;   // PostScript error name, or "cut"

    bool cut() const { return error == "cut"; }

    // PostScript that runs the document `input` as described above (its path as a string).
    static std::string runSetUp(const std::filesystem::path& input);
    static std::optional<IncompleteDocument> read(const std::filesystem::path& pdf);
};

}  // namespace vorrel
