#pragma once
// defaultPaperSize(): the paper the system's programs (Ghostscript among them) use when a
// document names none, in PostScript points, portrait (width ≤ height).
//
// The name is the first word of $PAPERSIZE, else of the file $PAPERCONF names, else of
// /etc/papersize (lines starting with "#" are comments), compared without regard to case.
// Known: a3, a4, a5, b5, letter, legal, executive, tabloid (ledger is tabloid turned, so it
// gives the same portrait size). Anything else, or nothing, gives A4.
//
// Thread-safety: callable from any thread, as long as nobody changes the environment at the
// same time.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorrel::platform {

struct PaperSize {
    std::string name;  // as found, lower case; "a4" for the fallback
    double width = 0, height = 0;
};

PaperSize defaultPaperSize();

// The known paper of that name (any case), portrait; nothing for another name.
std::optional<PaperSize> paperSizeNamed(std::string_view name);

// Every known paper, portrait, ledger left out (tabloid has its size).
std::vector<PaperSize> knownPaperSizes();

}  // namespace vorrel::platform
