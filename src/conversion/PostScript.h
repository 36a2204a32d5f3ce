#pragma once
// Pieces of PostScript that the conversions hand Ghostscript on its command line.
//
// Thread-safety: pure functions and constants.

#include <string>
#include <string_view>

namespace vorrel {

// Shows the page of a document that never called showpage; one that did gets no extra blank
// page. Runs after the source file.
inline constexpr const char* kShowUnshownPage =
    "systemdict begin currentpagedevice /PageCount get 0 eq { showpage } if end";

// `text` as the contents of a PostScript string literal, `(` … `)`: parentheses and
// backslashes are escaped, every other byte is kept as it is.
std::string postScriptString(std::string_view text);

}  // namespace vorrel
