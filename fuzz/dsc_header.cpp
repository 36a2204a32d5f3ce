// Fuzz target: the DSC header reader, on whole files. The bytes become the contents of an
// anonymous in-memory file, read through its /proc path as the reader reads any file.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "conversion/DscHeader.h"

namespace {

bool finite(const std::optional<vorrel::BoundingBox>& box) {
    return !box || (std::isfinite(box->llx) && std::isfinite(box->lly) &&
                    std::isfinite(box->urx) && std::isfinite(box->ury));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("dsc-header-fuzz", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t count = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (count <= 0) std::abort();
        done += static_cast<std::size_t>(count);
    }
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
