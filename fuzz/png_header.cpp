// Fuzz target: the PNG reader, on whole files (the converter's output holds whatever bytes the
// PostScript it ran chose to write). The bytes become the contents of an anonymous in-memory
// file, read through its /proc path as the reader reads any file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "conversion/PngHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("png-header-fuzz", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t count = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (count <= 0) std::abort();
        done += static_cast<std::size_t>(count);
    }
    vorrel::PngReader reader(path);
    if (const auto& header = reader.header()) {
        if (header->width == 0 || header->height == 0) std::abort();
        if (header->dotsPerInch && (header->dotsPerInch->x <= 0 || header->dotsPerInch->y <= 0))
            std::abort();
    }
    // Image data never comes from more bytes than the file has, and always ends.
    std::vector<unsigned char> chunk;
    std::size_t total = 0;
    while (reader.nextImageData(chunk)) {
        total += chunk.size();
        if (total > size) std::abort();
    }
    if (reader.nextImageData(chunk)) std::abort();  // an ended reader stays ended
    return 0;
}
