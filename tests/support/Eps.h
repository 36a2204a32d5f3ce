#pragma once
// EPS documents that tests and benchmarks write: ordinary ones that Ghostscript must convert,
// and hostile ones that must stay contained.

#include <filesystem>
#include <string>

namespace vorrel::test::eps {

// 200 x 100 points of text in Helvetica and Times-Roman.
std::string text();
// Strokes, curves and a filled shape, 144 x 144 points.
std::string lineArt();
// A 32 x 32 RGB image drawn inline with colorimage, 64 x 64 points.
std::string embeddedImage();
// Line art with no %%BoundingBox comment.
std::string withoutBoundingBox();
// Line art grown to roughly `bytes` bytes by repeating drawing commands (for benchmarks).
std::string ofSize(std::size_t bytes);

// Drawing commands (no comments, no showpage) that mark the corners of the box (llx lly urx ury)
// with filled squares of `side` points, just inside it: blue at the lower left, red at the
// lower right, green at the upper left, black at the upper right. Nothing else is drawn.
inline constexpr double kCornerSide = 10;
std::string cornerSquares(double llx, double lly, double urx, double ury,
                          double side = kCornerSide);
// A DOS-binary EPS: its 30-byte binary header (C5 D0 D3 C6, then where the PostScript section
// lies) followed by `postscript`, with no preview pictures.
std::string dosBinary(const std::string& postscript);

// Hostile documents. Each attempt is not caught inside the document, so a refused operation
// ends Ghostscript with an error.
// Reads the first line of `path` and shows it as text.
std::string readingFile(const std::filesystem::path& path);
// Opens `path` for writing and writes "tampered" into it.
std::string writingFile(const std::filesystem::path& path);
// Deletes `path`.
std::string deletingFile(const std::filesystem::path& path);
// Runs `command` through a %pipe% output file.
std::string openingPipe(const std::string& command);
// Loops forever without drawing.
std::string loopingForever();

}  // namespace vorrel::test::eps
