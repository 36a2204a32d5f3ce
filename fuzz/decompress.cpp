// Fuzz target: the decompressor, on whole files in the format their first bytes name, read
// from an anonymous in-memory file as from any open file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "conversion/Decompression.h"

using namespace vorrel;

// Expands the file under `limit`: what came out, and the error that ended it, if any.
static std::optional<DecompressionError> expand(int fd, Compression format, std::uint64_t limit,
                                                std::string& out) {
    if (lseek(fd, 0, SEEK_SET) != 0) std::abort();
    try {
        decompress(fd, format, limit, [&](std::string_view bytes) {
            out.append(bytes);
            return true;
        });
    } catch (const DecompressionError& error) {
        return error;
    }
    return std::nullopt;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("decompress-fuzz", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t count = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (count <= 0) std::abort();
        done += static_cast<std::size_t>(count);
    }
    const Compression format = compressionOf({reinterpret_cast<const char*>(data), size});
    const std::uint64_t limit = decompressedSizeLimit(size);
    std::string first;
    const auto error = expand(fd, format, limit, first);
    // Never more than the limit reaches the sink, and a limit error names that limit.
    if (first.size() > limit ||
        (error && !error->limitText().empty() &&
         error->limitText() != DecompressionError::tooLarge(limit).limitText()))
        std::abort();
    // Under a limit just below what came out, the same file ends with the limit error, after
    // delivering the same first bytes.
    if (first.empty()) return 0;
    std::string second;
    const auto cut = expand(fd, format, first.size() - 1, second);
    if (!cut || cut->limitText().empty() || second.size() >= first.size() ||
        !first.starts_with(second))
        std::abort();
    return 0;
}
