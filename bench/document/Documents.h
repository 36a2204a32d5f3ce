#pragma once
// The PostScript documents the document benchmarks write.

#include <string>
#include <vector>

namespace vorrel::bench {

// A4 pages of 50 lines of text and a few curves each.
inline std::string textAndDrawings(int pages) {
    std::string text = "%!PS-Adobe-3.0\n%%Pages: " + std::to_string(pages) +
                       "\n%%EndComments\n/Times-Roman findfont 10 scalefont setfont\n";
    for (int n = 1; n <= pages; ++n) {
        const std::string number = std::to_string(n);
        text += "%%Page: " + number + " " + number +
                "\n<< /PageSize [595 842] >> setpagedevice\n/Times-Roman findfont 10 "
                "scalefont setfont\n";
        for (int line = 0; line < 50; ++line)
            text += "72 " + std::to_string(770 - line * 12) + " moveto (Page " + number +
                    ", line " + std::to_string(line) +
                    ": the quick brown fox jumps over the lazy dog, again and again.) show\n";
        text += "newpath 100 100 moveto 200 300 300 0 400 150 curveto 2 setlinewidth stroke\n"
                "0.2 0.4 0.8 setrgbcolor 420 60 100 80 rectfill 0 setgray\nshowpage\n";
    }
    return text + "%%EOF\n";
}

// A4 pages each holding a 512 x 512 colour image that the document computes.
inline std::string images(int pages) {
    std::string text = "%!PS-Adobe-3.0\n%%Pages: " + std::to_string(pages) +
                       "\n%%EndComments\n/row 1536 string def\n";
    for (int n = 1; n <= pages; ++n) {
        const std::string number = std::to_string(n);
        text += "%%Page: " + number + " " + number +
                "\n<< /PageSize [595 842] >> setpagedevice\n/y 0 def\n"
                "gsave 50 200 translate 495 495 scale\n512 512 8 [512 0 0 -512 0 512]\n"
                "{ 0 1 511 { /x exch def row x 3 mul x y add " + number +
                " mul 255 and put row x 3 mul 1 add x y xor 255 and put row x 3 mul 2 add y 255 "
                "and put } for /y y 1 add def row }\nfalse 3 colorimage grestore\nshowpage\n";
    }
    return text + "%%EOF\n";
}

// The documents both document benches measure, each with the name its rows carry.
struct NamedDocument {
    const char* name;
    std::string content;
};

inline std::vector<NamedDocument> benchDocuments() {
    return {{"300 pages of text and drawings", textAndDrawings(300)},
            {"20 pages of images", images(20)}};
}

}  // namespace vorrel::bench
