#pragma once
// PostScript documents (not EPS) that tests and benchmarks write, and the compressed forms of
// any file's bytes.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorrel::test::ps {

// A DSC document of pages of the given sizes in points (setpagedevice per page), each filled
// with a colour and labelled "Page N".
std::string document(const std::vector<std::pair<int, int>>& pageSizes);
// The three pages tests use: 300 x 500, 600 x 400 and 200 x 200 points.
std::string threePages();
// One 100 x 100 square on the default paper: no comments, no page size.
std::string withoutComments();
// A document that draws page 1 quickly, then loops forever before page 2.
std::string firstPageThenLoop();
// threePages(), computing for a while (over half a second of processor time) after page 1.
std::string firstPageThenWork();
// An EPS (50 x 30 points, box at 10 10 60 40) whatever the file is called.
std::string epsInside();

// `bytes` as gzip and bzip2 streams (a whole stream each).
std::string gzip(std::string_view bytes);
std::string bzip2(std::string_view bytes);

}  // namespace vorrel::test::ps
