#pragma once
// isBlankPage(png): whether a PNG that Ghostscript drew on a white page shows nothing but that
// page, every pixel pure white. A thumbnail of such a drawing would be an empty white tile; the
// file manager's generic icon says more.
//
// What happens:
//  1. the signature and the IHDR chunk are checked: 8-bit RGB or grey, not interlaced (what the
//     png16m and pnggray devices write); any other kind of picture counts as drawn;
//  2. the IDAT chunks are inflated row by row, each row unfiltered against the one above;
//  3. the first sample that is not 255 ends the read: the page is drawn.
// A picture that is cut short or not valid counts as drawn, so that only a sound, wholly
// white page is called blank. Memory stays at two rows and one chunk buffer.
//
// Thread-safety: a plain function; call it from any thread.

#include <filesystem>

namespace vorrel {

bool isBlankPage(const std::filesystem::path& png);

}  // namespace vorrel
