// Fuzz target: the PNG reader, on whole files (the converter's output holds whatever bytes the
// PostScript it ran chose to write). The bytes become the contents of an anonymous in-memory
// file, read through its /proc path as the reader reads any file.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "conversion/PngHeader.h"
#include "MemoryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = vorrel::fuzz::asFile(data, size);
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
