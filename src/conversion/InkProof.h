#pragma once
// provesInk(): whether a PDF as Ghostscript's pdfwrite writes it certainly paints a visible mark
// that is not white, told from its pages' content streams alone, so that the blank check
// (preview/BlankPreview.h) need not render it.
//
// pdfwrite leaves out what lies wholly outside the page. So a fill of a path with an area, or a
// stroke of a path with a length, in a colour set by g, rg or k (G, RG, K) that is not white,
// while no clip, graphics state, flattening matrix or dash pattern is in force, is such a mark.
// Whatever else a page holds (text, images, forms, shadings, other colour spaces) proves
// nothing, and nor does a file this does not follow (objects in object streams, filters other
// than Flate, more than kInkProofLargest bytes, pages past the first kInkProofPages). False only
// means: render to know.
//
// Thread-safety: plain functions.

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace vorrel {

inline constexpr std::size_t kInkProofLargest = std::size_t{8} << 20;
inline constexpr int kInkProofPages = 16;

// One page's content stream, decoded.
bool contentPaintsInk(std::string_view content);
// A whole PDF: some page's content paints ink.
bool pdfProvesInk(std::string_view pdf);
bool provesInk(const std::filesystem::path& pdf);

}  // namespace vorrel
