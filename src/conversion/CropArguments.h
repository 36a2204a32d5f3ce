#pragma once
// The Ghostscript arguments that crop a conversion to a bounding box (see DscHeader.h), whatever
// the document's first line says, whatever page size it sets itself, and whether or not it ever
// calls showpage. They go around the source file, after the device and output options:
//     gs <options> <beforeSource...> SOURCE <afterSource...>
// The page is the box's size whatever the device's resolution: a PDF page of width × height
// points, a picture of width × height × resolution / 72 pixels. Nothing but the command line is
// needed: no file for Ghostscript to read.
//
// beforeSource:
//   -dDEVICEWIDTHPOINTS=<width> -dDEVICEHEIGHTPOINTS=<height> -dFIXEDMEDIA
//       a page of the box's size that the document cannot change (setpagedevice with /PageSize,
//       the letter and a4 procedures);
//   -dNOEPS
//       Ghostscript's own EPS handling off: it would crop a second time (with -dEPSCrop), and
//       only for files whose first line names EPSF;
//   -dALLOWPSTRANSPARENCY
//       keeps Ghostscript's transparency operators, which the definitions below build on;
//   -c "<definitions> << /BeginPage { pop <-llx> <-lly> translate } >> setpagedevice" -f
//       every page begins with the box's lower-left corner at the page's origin (also after the
//       document's own setpagedevice). The definitions give documents written for Ghostscript 9
//       .setopacityalpha and .setshapealpha, made of .setfillconstantalpha,
//       .setstrokeconstantalpha and .setalphaisshape, only where they are missing.
// afterSource:
//   -c kShowUnshownPage (PostScript.h)
//
// With a `scale` other than 1 the page is the box's size times `scale` and BeginPage scales the
// drawing with it ("pop <scale> <scale> scale <-llx> <-lly> translate"): the same picture in
// pixels at a resolution `scale` times higher, for resolutions too low for Ghostscript itself.
//
// With `backdrop`, BeginPage then fills the page mid-grey, so that a drawing in white shows.
//
// Numbers are written in plain decimal, whatever the locale. Call it with a usable box only
// (BoundingBox::isUsable()) and a positive scale. Thread-safety: a plain function; call it from
// any thread.

#include <string>
#include <vector>

#include "conversion/DscHeader.h"

namespace vorrel {

struct CropArguments {
    std::vector<std::string> beforeSource;
    std::vector<std::string> afterSource;
};

CropArguments cropArguments(const BoundingBox& box, double scale = 1, bool backdrop = false);

}  // namespace vorrel
