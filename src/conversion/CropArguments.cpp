#include "conversion/CropArguments.h"

#include <charconv>
#include <system_error>

#include "conversion/PostScript.h"

namespace vorrel {

namespace {

// Defines the operators Ghostscript 10 removed where the ones they are made of exist and they
// themselves do not.
constexpr const char* kRemovedOperators =
    "/.setfillconstantalpha where { pop "
    "/.setopacityalpha where { pop } { /.setopacityalpha "
    "{ false .setalphaisshape dup .setfillconstantalpha .setstrokeconstantalpha } bind def } "
    "ifelse "
    "/.setshapealpha where { pop } { /.setshapealpha "
    "{ true .setalphaisshape dup .setfillconstantalpha .setstrokeconstantalpha } bind def } ifelse "
    "} if ";

// The shortest plain decimal that reads back as `value` (no exponent, no locale).
std::string decimal(double value) {
    char text[400];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error != std::errc()) return "0";
    return std::string(text, end);
}

}  // namespace

CropArguments cropArguments(const BoundingBox& box, double scale, bool backdrop) {
    const std::string scaling =
        scale == 1 ? std::string() : decimal(scale) + " " + decimal(scale) + " scale ";
    return {{"-dDEVICEWIDTHPOINTS=" + decimal(box.width() * scale),
             "-dDEVICEHEIGHTPOINTS=" + decimal(box.height() * scale), "-dFIXEDMEDIA", "-dNOEPS",
             "-dALLOWPSTRANSPARENCY", "-c",
             std::string(kRemovedOperators) + "<< /BeginPage { pop " + scaling +
                 decimal(-box.llx) + " " + decimal(-box.lly) + " translate" +
                 (backdrop ? " gsave clippath 0.5 setgray fill grestore" : "") +
                 " } >> setpagedevice",
             "-f"},
            {"-c", kShowUnshownPage}};
}

}  // namespace vorrel
