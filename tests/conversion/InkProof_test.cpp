// What a page's content proves: visible ink only for fills with an area and strokes with a
// length, in a device colour that is not white, with nothing in force that could hide them.
#include "conversion/InkProof.h"

#include <gtest/gtest.h>

#include <string>

namespace vorrel {
namespace {

TEST(InkProof, OnlyMarksThatMustShowProveInk) {
    const struct {
        const char* content;
        bool ink;
    } cases[] = {
        {"0 0 10 10 re f", true},  // a page starts in black
        {"0.5 g 0 0 10 10 re f", true},
        {"0 0 1 rg 10 10 m 20 10 l 15 20 l h f*", true},
        {"0 0 0 0.5 k 0 0 10 10 re f", true},
        {"0 0 m 10 10 l S", true},
        {"0 0 10 0 re S", true},
        {"q 1 g Q 0 0 10 10 re f", true},  // the colour comes back with Q
        {"1 g 0 G 0 0 10 10 re B", true},  // the stroke over the white fill
        {"0 0 10 10 re f 1 g -5 -5 20 20 re f", false},  // covered by white
        {"0 0 10 10 re f 1 g 50 50 20 20 re f", true},
        {"[] 0 d 0 0 m 10 10 l S", true},
        {"10 0 0 10 0 0 cm 0 0 1 1 re f", true},
        {"0 w 0.1 0 0 0.1 0 0 cm 0 0 m 0 50 l S", true},  // a hairline
        {"0 w 0.001 0 0 1 0 0 cm 0 0 m 0 50 l S", false},  // squeezed across
        {"1 g 0 0 10 10 re f", false},
        {"1 1 1 rg 0 0 10 10 re f", false},
        {"0 0 0 0 k 0 0 10 10 re f", false},
        {"0.995 g 0 0 10 10 re f", false},  // near white: rendering tells
        {"2 g 0 0 10 10 re f", false},      // clamped to white
        {"/CS0 cs 0 scn 0 0 10 10 re f", false},
        {"0 0 m 10 10 l f", false},  // a fill without an area
        {"0 0 m 10 0 l 0 5 m 10 5 l f", false},
        {"0 0 m 0.2 0.2 l S", false},
        {"0.001 0 0 1 0 0 cm 0 0 m 0 50 l S", false},
        {"0.01 0 0 0.01 0 0 cm 0 0 10 10 re f", false},
        {"0 0 10 10 re W n 0 0 10 10 re f", false},
        {"/GS1 gs 0 0 10 10 re f", false},
        {"[3 2] 0 d 0 0 m 10 10 l S", false},
        {"1 G 0 0 m 10 10 l S", false},
        {"BT /F1 12 Tf 7 Tr (text) Tj ET 0 0 10 10 re f", false},
        {"BT /F1 12 Tf (text) Tj ET", true},
        {"BT /F1 12 Tf [(a) -250 (b)] TJ ET", true},
        {"BT /F1 12 Tf (\\101) Tj ET", true},
        {"BT /F1 12 Tf (   ) Tj ( \\040) ' ET", false},  // spaces only
        {"BT /F1 12 Tf <0020 00> Tj [( )] TJ ET", false},
        {"BT /F1 12 Tf 3 Tr (text) Tj ET", false},  // invisible
        {"BT /F1 2 Tf (text) Tj ET", false},        // too small to darken a pixel
        {"BT /F1 12 Tf 0.1 0 0 0.1 0 0 Tm (text) Tj ET", false},
        {"1 g BT /F1 12 Tf (text) Tj ET", false},
        {"(text) Tj", false},  // no font
        {"BI /W 1 /H 1 /BPC 8 /CS /G ID \xff EI", false},
        {"BT /F1 12 Tf 1 Tr (0 0 10 10 re f) Tj ET % 0 0 10 10 re f\n", false},
        {"0 0 10 10 re", false},
    };
    for (const auto& c : cases) EXPECT_EQ(contentPaintsInk(c.content), c.ink) << c.content;
}

TEST(InkProof, FindsThePagesContentsAndClipsToTheirBox) {
    const auto pdf = [](const std::string& box, const std::string& content) {
        return "%PDF-1.7\n4 0 obj\n<</Type/Page/MediaBox [" + box +
               "]/Parent 3 0 R/Contents 5 0 R>>\nendobj\n5 0 obj\n<</Length " +
               std::to_string(content.size()) + ">>\nstream\n" + content +
               "\nendstream\nendobj\ntrailer\n";
    };
    EXPECT_TRUE(pdfProvesInk(pdf("0 0 100 100", "0 0 10 10 re f"), 512));
    EXPECT_FALSE(pdfProvesInk(pdf("0 0 100 100", "500 500 10 10 re f"), 512));  // off the page
    EXPECT_FALSE(pdfProvesInk(pdf("0 0 100 100", "99.8 0 10 10 re f"), 512));   // a sliver on it
    EXPECT_FALSE(pdfProvesInk(pdf("0 0 100 100", "1 g 0 0 10 10 re f"), 512));
    // Text an em inside the page shows; at its edge it may not.
    EXPECT_TRUE(pdfProvesInk(pdf("0 0 100 100", "BT /F1 10 Tf 20 20 Td (a) Tj ET"), 512));
    EXPECT_FALSE(pdfProvesInk(pdf("0 0 100 100", "BT /F1 10 Tf 95 20 Td (a) Tj ET"), 512));
    // On a poster a pixel is four points.
    EXPECT_TRUE(pdfProvesInk(pdf("0 0 2000 2000", "0 0 m 10 0 l S"), 512));
    EXPECT_FALSE(pdfProvesInk(pdf("0 0 2000 2000", "0 0 m 2 0 l S"), 512));
    EXPECT_FALSE(pdfProvesInk(pdf("0 0 2000 2000", "0.5 w 0 0 m 10 0 l S"), 512));
    EXPECT_FALSE(pdfProvesInk(std::string("%PDF-1.7\n4 0 obj\n<</Type/Page/MediaBox [0 0 9 9]"
                                       "/Contents 5 0 R>>\nendobj\ntrailer\n"),
                              512));
}

}  // namespace
}  // namespace vorrel
