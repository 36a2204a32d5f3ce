#pragma once
// provesInk(): whether a PDF as Ghostscript's pdfwrite writes it certainly shows a mark that is
// not white in a rendering of its page (the longer side at most `longestSide` pixels, at most
// one pixel per point), told from the pages' content streams alone, so that the blank check
// (preview/BlankPreview.h) need not render it.
//
// pdfwrite leaves out what lies wholly outside the page. So a fill of a path with an area, or a
// stroke of a path with a length and a width, each large enough to darken a pixel there, in a
// colour set by g, rg or k (G, RG, K) that is not white, while no clip, graphics state or dash
// pattern is in force, is such a mark. Whatever else a page holds (text, images, forms,
// shadings, other colour spaces) proves nothing, and nor does a file this does not follow
// (objects in object streams, filters other than Flate, crop boxes, more than kInkProofLargest
// bytes, pages past the first kInkProofPages). False only means: render to know.
//
// Thread-safety: plain functions.

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace vorrel {

inline constexpr std::size_t kInkProofLargest = std::size_t{8} << 20;
inline constexpr int kInkProofPages = 16;

// One page's content stream, decoded, rendered at one pixel per point on an unbounded page.
bool contentPaintsInk(std::string_view content);
// A whole PDF: some page's content shows ink.
bool pdfProvesInk(std::string_view pdf, int longestSide);
bool provesInk(const std::filesystem::path& pdf, int longestSide);

}  // namespace vorrel
