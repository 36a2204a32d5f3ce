#include "support/Eps.h"

#include <cstdint>
#include <sstream>

namespace vorrel::test::eps {

namespace {

std::string header(int width, int height) {
    std::ostringstream out;
    out << "%!PS-Adobe-3.0 EPSF-3.0\n"
        << "%%BoundingBox: 0 0 " << width << ' ' << height << '\n'
        << "%%EndComments\n";
    return out.str();
}

// A PostScript string literal for `text`: backslashes and parentheses escaped.
std::string literal(const std::string& text) {
    std::string out = "(";
    for (char c : text) {
        if (c == '\\' || c == '(' || c == ')') out.push_back('\\');
        out.push_back(c);
    }
    return out + ")";
}

const char* const kLineArtBody =
    "2 setlinewidth\n"
    "0 0 1 setrgbcolor\n"
    "10 10 moveto 134 134 lineto stroke\n"
    "1 0 0 setrgbcolor\n"
    "72 72 50 0 360 arc closepath stroke\n"
    "0 0.6 0 setrgbcolor\n"
    "20 120 moveto 60 140 100 100 130 120 curveto stroke\n"
    "0.9 0.7 0 setrgbcolor\n"
    "40 30 moveto 100 30 lineto 70 80 lineto closepath fill\n";

}  // namespace

std::string text() {
    return header(200, 100) +
           "/Helvetica findfont 24 scalefont setfont\n"
           "10 60 moveto (Vorrel preview) show\n"
           "/Times-Roman findfont 14 scalefont setfont\n"
           "10 30 moveto (Encapsulated PostScript) show\n"
           "showpage\n%%EOF\n";
}

std::string lineArt() {
    return header(144, 144) + kLineArtBody + "showpage\n%%EOF\n";
}

std::string embeddedImage() {
    std::ostringstream out;
    out << header(64, 64) << "/line 96 string def\n"
        << "64 64 scale\n"
        << "32 32 8 [32 0 0 -32 0 32]\n"
        << "{ currentfile line readhexstring pop } false 3 colorimage\n";
    static constexpr char kHex[] = "0123456789abcdef";
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int rgb[3] = {x * 8, y * 8, ((x + y) % 2) * 255};
            for (int channel : rgb) {
                out << kHex[(channel >> 4) & 15] << kHex[channel & 15];
            }
        }
        out << '\n';
    }
    out << "showpage\n%%EOF\n";
    return out.str();
}

std::string withoutBoundingBox() {
    return std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%EndComments\n") + kLineArtBody +
           "showpage\n%%EOF\n";
}

std::string ofSize(std::size_t bytes) {
    // Short strokes scattered over a letter page: the file grows, the drawing stays cheap.
    std::string document = header(612, 792) + "0.5 setlinewidth\n";
    for (unsigned i = 0; document.size() < bytes; ++i) {
        const unsigned x = (i * 37) % 590, y = (i * 53) % 770;
        std::ostringstream step;
        step << x << ' ' << y << " moveto " << x + (i % 11) << ' ' << y + (i % 13) << " lineto "
             << (i % 7) / 7.0 << " setgray stroke\n";
        document += step.str();
    }
    return document + "showpage\n%%EOF\n";
}

std::string cornerSquares(double llx, double lly, double urx, double ury, double side) {
    std::ostringstream out;
    out << "/corner { " << side << ' ' << side << " rectfill } def\n"
        << "0 0 1 setrgbcolor " << llx << ' ' << lly << " corner\n"
        << "1 0 0 setrgbcolor " << urx - side << ' ' << lly << " corner\n"
        << "0 1 0 setrgbcolor " << llx << ' ' << ury - side << " corner\n"
        << "0 0 0 setrgbcolor " << urx - side << ' ' << ury - side << " corner\n";
    return out.str();
}

std::string dosBinary(const std::string& postscript) {
    std::string header(30, '\0');
    const auto put = [&header](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
    };
    put(0, 0xC6D3D0C5u);
    put(4, 30);
    put(8, static_cast<std::uint32_t>(postscript.size()));
    header[28] = header[29] = static_cast<char>(0xff);
    return header + postscript;
}

std::string readingFile(const std::filesystem::path& path) {
    return header(300, 50) + "/Helvetica findfont 10 scalefont setfont\n" + "/f " +
           literal(path.string()) + " (r) file def\n" +
           "10 20 moveto f 200 string readline pop show\nshowpage\n%%EOF\n";
}

std::string writingFile(const std::filesystem::path& path) {
    return header(100, 100) + "/f " + literal(path.string()) + " (w) file def\n" +
           "f (tampered) writestring f closefile\n" + kLineArtBody + "showpage\n%%EOF\n";
}

std::string deletingFile(const std::filesystem::path& path) {
    return header(100, 100) + literal(path.string()) + " deletefile\n" + kLineArtBody +
           "showpage\n%%EOF\n";
}

std::string openingPipe(const std::string& command) {
    return header(100, 100) + "/f " + literal("%pipe%" + command) + " (w) file def\n" +
           "f (x) writestring f closefile\n" + kLineArtBody + "showpage\n%%EOF\n";
}

std::string loopingForever() {
    return header(100, 100) + "{ 1 pop } loop\nshowpage\n%%EOF\n";
}

}  // namespace vorrel::test::eps
