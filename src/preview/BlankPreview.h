#pragma once
// drawsNothing(): whether a converted preview shows nothing but its empty page, so that the
// preview can say so instead of showing a blank page without a word.
//
// PNG (Ghostscript's pngalpha, transparent where nothing was drawn): every pixel is fully
// transparent or pure white.
// PDF (`file`, loaded as `document`): unless the pages' contents prove ink (provesInk(),
// conversion/InkProof.h), each page, rendered at one pixel per point (the longer side at most
// kLongestSide pixels; pages are drawn with their lines at least one pixel wide, so a hairline
// still shows), is pure white; a rendering of at most kFirstLook pixels comes first, and a page
// with ink there is not rendered again. Only the first kPagesLooked pages are looked at; a
// document with more pages counts as drawn.
//
// Thread-safety: plain functions; the PDF one renders with Qt PDF, so call it on the thread
// that owns the document.

#include <QImage>

#include <filesystem>

class QPdfDocument;

namespace vorrel {

inline constexpr int kLongestSide = 512;
inline constexpr int kFirstLook = 64;
inline constexpr int kPagesLooked = 16;

bool drawsNothing(const QImage& image);
bool drawsNothing(QPdfDocument& document, const std::filesystem::path& file);

}  // namespace vorrel
