#pragma once
// readFileFacts(source, pdf): what a previewed file is (quicklook::PreviewFacts).
//   - bytes, compression and kind (EPS or document) from the source itself (SourceKind.h);
//   - %%Title, %%Creator, %%CreationDate, %%For and %%LanguageLevel from the header comments
//     of its PostScript (expanded first when compressed; for a DOS-binary EPS its PostScript
//     section): the first of each, read from the first kHeaderBytes only, up to
//     %%EndComments or the first line that is no comment; a text in parentheses loses them;
//   - pages and the first page's size in points from the converted PDF;
//   - the fonts the PDF names (/BaseFont), each embedded when a font descriptor of that name
//     holds a font file (/FontFile, /FontFile2, /FontFile3); of the first kPdfBytes only.
// Any bytes are safe: memory stays bounded and nothing is run.
//
// pdfFonts(bytes) is the font part, on a PDF's bytes.
//
// Thread-safety: plain functions; call them from any thread.

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "preview/contract/PreviewingController.h"

namespace vorrel {

constexpr std::size_t kHeaderBytes = 64 * 1024;
constexpr std::size_t kPdfBytes = 64 * 1024 * 1024;

quicklook::PreviewFacts readFileFacts(const std::filesystem::path& source,
                                      const std::filesystem::path& pdf);
std::vector<quicklook::PreviewFacts::Font> pdfFonts(std::string_view bytes);

}  // namespace vorrel
