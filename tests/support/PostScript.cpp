#include "support/PostScript.h"

#include <bzlib.h>
#include <zlib.h>

#include <stdexcept>

namespace vorrel::test::ps {

namespace {

std::string page(int number, int width, int height) {
    const std::string n = std::to_string(number);
    return "%%Page: " + n + " " + n + "\n<< /PageSize [" + std::to_string(width) + " " +
           std::to_string(height) + "] >> setpagedevice\n" + std::to_string(number % 3 == 1) +
           " " + std::to_string(number % 3 == 2) + " " + std::to_string(number % 3 == 0) +
           " setrgbcolor 0 0 " + std::to_string(width) + " " + std::to_string(height) +
           " rectfill\n0 setgray /Helvetica findfont 24 scalefont setfont 20 20 moveto (Page " +
           n + ") show\nshowpage\n";
}

}  // namespace

std::string document(const std::vector<std::pair<int, int>>& pageSizes) {
    std::string text = "%!PS-Adobe-3.0\n%%Pages: " + std::to_string(pageSizes.size()) +
                       "\n%%EndComments\n";
    int number = 0;
    for (const auto& [width, height] : pageSizes) text += page(++number, width, height);
    return text + "%%EOF\n";
}

std::string threePages() { return document({{300, 500}, {600, 400}, {200, 200}}); }

std::string withoutComments() { return "0 0 1 setrgbcolor 100 100 100 100 rectfill showpage\n"; }

std::string firstPageThenLoop() {
    return "%!PS-Adobe-3.0\n%%Pages: 3\n%%EndComments\n" + page(1, 300, 500) +
           "{ } loop\n" + page(2, 600, 400) + page(3, 200, 200);
}

std::string firstPageThenWork() {
    return "%!PS-Adobe-3.0\n%%Pages: 3\n%%EndComments\n" + page(1, 300, 500) +
           "0 1 20000000 { pop } for\n" + page(2, 600, 400) + page(3, 200, 200) + "%%EOF\n";
}

std::string epsInside() {
    return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 10 60 40\n%%EndComments\n"
           "1 0 0 setrgbcolor 10 10 50 30 rectfill\n";
}

std::string gzip(std::string_view bytes) {
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

std::string bzip2(std::string_view bytes) {
    std::string out(bytes.size() + bytes.size() / 100 + 600, '\0');
    auto length = static_cast<unsigned>(out.size());
    if (BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(bytes.data()),
                                 static_cast<unsigned>(bytes.size()), 9, 0, 0) != BZ_OK)
        throw std::runtime_error("BZ2_bzBuffToBuffCompress");
    out.resize(length);
    return out;
}

}  // namespace vorrel::test::ps
