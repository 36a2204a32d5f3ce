#pragma once
// cropArguments(box, scale, backdrop): the Ghostscript arguments that crop a conversion to a
// bounding box (DscHeader.h), whatever the document's first line says, whatever page size it
// sets itself, and whether or not it ever calls showpage (DESIGN.md, "Cropping a drawing").
// They go around the source file, after the device and output options:
//     gs <options> <beforeSource...> SOURCE <afterSource...>
// The page is the box's size whatever the device's resolution: a PDF page of width × height
// points, a picture of width × height × resolution / 72 pixels. With a `scale` other than 1 the
// page is the box's size times `scale`, the drawing scaled with it: the same picture in pixels
// at a resolution `scale` times higher, for resolutions too low for Ghostscript itself. With
// `backdrop` the page is mid-grey under the drawing, so that a drawing in white shows. Nothing
// but the command line is needed: no file for Ghostscript to read.
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
