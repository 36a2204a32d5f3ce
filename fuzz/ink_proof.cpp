// Fuzz target: the reading of a converted PDF's page contents (the converter's output holds
// whatever the PostScript it ran chose to paint and mark), on whole files and, the same bytes,
// as one page's decoded content.

#include <cstdint>
#include <string_view>

#include "conversion/InkProof.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The sanitizers judge: every read stays within the bytes, every number is checked.
    (void)vorrel::pdfProvesInk(bytes, 512);
    (void)vorrel::contentPaintsInk(bytes);
    return 0;
}
