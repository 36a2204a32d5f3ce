#pragma once
// Decompression: gzip and bzip2 streams, read from a file descriptor, with a hard cap on what
// they may expand to.
//
// compressionOf(firstBytes) tells the format by its signature (gzip: 1F 8B; bzip2: "BZh"),
// whatever the file is called. decompress(in, format, limit, sink):
//  1. reads `in` from where it stands to its end, through a fixed buffer;
//  2. hands the expanded bytes to `sink` in pieces; a sink returning false ends the call early,
//     without an error (a caller that wants only the start of the content);
//  3. fails with DecompressionError::tooLarge(limit) as soon as more than `limit` bytes come
//     out, and with DecompressionError::damaged() for a stream that is cut short, corrupt, or
//     is no stream of `format`. Concatenated streams (as `cat a.gz b.gz` makes) are read on;
//     zero bytes after a gzip stream are padding, as gzip takes them.
// Memory stays bounded whatever the input holds. Any bytes are safe input.
//
// decompressedSizeLimit(compressedSize): the cap for a file of that size: 1 GiB, or 200 times
// the compressed size when that is smaller.
//
// Thread-safety: plain functions on their arguments; call them from any thread.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace vorrel {

enum class Compression { none, gzip, bzip2 };

Compression compressionOf(std::string_view firstBytes);

inline constexpr std::uint64_t kDecompressedSizeCap = std::uint64_t{1} << 30;
inline constexpr std::uint64_t kExpansionFactorCap = 200;

constexpr std::uint64_t decompressedSizeLimit(std::uint64_t compressedSize) {
    return compressedSize >= kDecompressedSizeCap / kExpansionFactorCap
               ? kDecompressedSizeCap
               : compressedSize * kExpansionFactorCap;
}

class DecompressionError : public std::runtime_error {
public:
    // "The compressed file expands to more than <limit>." with the limit in bytes, KiB, MiB
    // or GiB ("1 GiB", "19.5 KiB").
    static DecompressionError tooLarge(std::uint64_t limit);
    // "The compressed file is damaged."
    static DecompressionError damaged();

    // tooLarge's limit as written in its text ("1 GiB"); empty for damaged().
    const std::string& limitText() const { return limitText_; }

private:
    DecompressionError(const std::string& text, std::string limit)
        : std::runtime_error(text), limitText_(std::move(limit)) {}
    std::string limitText_;
};

using DecompressionSink = std::function<bool(std::string_view bytes)>;

void decompress(int in, Compression format, std::uint64_t limit, const DecompressionSink& sink);

}  // namespace vorrel
