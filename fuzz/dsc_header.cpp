// Fuzz target: the DSC header reader, on whole files. The bytes become the contents of an
// anonymous in-memory file, read through its /proc path as the reader reads any file.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "conversion/DscHeader.h"
#include "MemoryFile.h"

namespace {

bool finite(const std::optional<vorrel::BoundingBox>& box) {
    return !box || (std::isfinite(box->llx) && std::isfinite(box->lly) &&
                    std::isfinite(box->urx) && std::isfinite(box->ury));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = vorrel::fuzz::asFile(data, size);
    const vorrel::DscHeader header = vorrel::readDscHeader(path);
    // Boxes hold only numbers the file spelled out; a usable box is one of them.
    if (!finite(header.boundingBox) || !finite(header.hiResBoundingBox)) std::abort();
    if (const auto box = header.usableBox();
        box && (!box->isUsable() ||
                (box != header.boundingBox && box != header.hiResBoundingBox)))
        std::abort();
    // Media are kept only when a page could have their size.
    if (header.media && !header.media->isUsable()) std::abort();
    return 0;
}
