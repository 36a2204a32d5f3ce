#include "conversion/Decompression.h"

#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "platform/FileDescriptor.h"

namespace vorrel {

namespace {

constexpr std::size_t kBufferSize = 64 << 10;

std::string amount(std::uint64_t bytes) {
    static constexpr const char* units[] = {"bytes", "KiB", "MiB", "GiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (unit < 3 && value >= 1024) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0 || value == static_cast<double>(static_cast<std::uint64_t>(value)))
        std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(value),
                      units[unit]);
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

// Reads what `in` has; 0 at its end.
std::size_t readSome(int in, unsigned char* buffer, std::size_t size) {
    const long got = platform::readSome(in, buffer, size);
    if (got < 0) throw std::system_error(errno, std::generic_category(), "cannot read");
    return static_cast<std::size_t>(got);
}

// Counts what comes out against the limit before the sink sees it.
class Output {
public:
    Output(std::uint64_t limit, const DecompressionSink& sink) : limit_(limit), sink_(sink) {}
    // False when the sink wants no more.
    bool put(const unsigned char* bytes, std::size_t size) {
        if (size == 0) return true;
        written_ += size;
        if (written_ > limit_) throw DecompressionError::tooLarge(limit_);
        return sink_(std::string_view(reinterpret_cast<const char*>(bytes), size));
    }

private:
    std::uint64_t limit_;
    std::uint64_t written_ = 0;
    const DecompressionSink& sink_;
};

void gunzip(int in, Output& output) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK) throw std::bad_alloc();  // gzip or zlib header
    const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
    const auto input = std::make_unique<unsigned char[]>(kBufferSize);
    const auto expanded = std::make_unique<unsigned char[]>(kBufferSize);
    bool streamEnded = false;
    for (;;) {
        if (stream.avail_in == 0) {
            stream.avail_in = static_cast<uInt>(readSome(in, input.get(), kBufferSize));
            stream.next_in = input.get();
            if (stream.avail_in == 0) break;
        }
        if (streamEnded) {
            // Zero bytes after a member are padding (block-wise writers leave it; gzip itself
            // ignores it), anything else is another member.
            if (std::all_of(stream.next_in, stream.next_in + stream.avail_in,
                            [](unsigned char byte) { return byte == 0; })) {
                stream.avail_in = 0;
                continue;
            }
            if (inflateReset(&stream) != Z_OK) throw DecompressionError::damaged();
            streamEnded = false;
        }
        stream.next_out = expanded.get();
        stream.avail_out = kBufferSize;
        const int status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            throw DecompressionError::damaged();
        if (!output.put(expanded.get(), kBufferSize - stream.avail_out)) return;
        if (status == Z_STREAM_END) streamEnded = true;
    }
    if (!streamEnded) throw DecompressionError::damaged();
}

void bunzip2(int in, Output& output) {
    bz_stream stream{};
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) throw std::bad_alloc();
    const std::unique_ptr<bz_stream, int (*)(bz_stream*)> end(&stream, BZ2_bzDecompressEnd);
    const auto input = std::make_unique<char[]>(kBufferSize);
    const auto expanded = std::make_unique<unsigned char[]>(kBufferSize);
    bool streamEnded = false;
    for (;;) {
        if (stream.avail_in == 0) {
            stream.avail_in = static_cast<unsigned>(
                readSome(in, reinterpret_cast<unsigned char*>(input.get()), kBufferSize));
            stream.next_in = input.get();
            if (stream.avail_in == 0) break;
        }
        if (streamEnded) {  // another stream follows
            BZ2_bzDecompressEnd(&stream);
            const unsigned pending = stream.avail_in;
            char* next = stream.next_in;
            stream = bz_stream{};
            if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) throw std::bad_alloc();
            stream.next_in = next;
            stream.avail_in = pending;
            streamEnded = false;
        }
        stream.next_out = reinterpret_cast<char*>(expanded.get());
        stream.avail_out = kBufferSize;
        const int status = BZ2_bzDecompress(&stream);
        if (status != BZ_OK && status != BZ_STREAM_END) throw DecompressionError::damaged();
        if (!output.put(expanded.get(), kBufferSize - stream.avail_out)) return;
        if (status == BZ_STREAM_END) streamEnded = true;
    }
    if (!streamEnded) throw DecompressionError::damaged();
}

}  // namespace

Compression compressionOf(std::string_view firstBytes) {
    if (firstBytes.starts_with("\x1f\x8b")) return Compression::gzip;
    if (firstBytes.starts_with("BZh")) return Compression::bzip2;
    return Compression::none;
}

DecompressionError DecompressionError::tooLarge(std::uint64_t limit) {
    const std::string limitText = amount(limit);
    return DecompressionError("The compressed file expands to more than " + limitText + ".",
                              limitText);
}

DecompressionError DecompressionError::damaged() {
    return DecompressionError("The compressed file is damaged.", {});
}

void decompress(int in, Compression format, std::uint64_t limit, const DecompressionSink& sink) {
    Output output(limit, sink);
    switch (format) {
        case Compression::gzip:
            return gunzip(in, output);
        case Compression::bzip2:
            return bunzip2(in, output);
        case Compression::none:
            break;
    }
    for (unsigned char buffer[kBufferSize];;) {
        const std::size_t got = readSome(in, buffer, sizeof buffer);
        if (got == 0 || !output.put(buffer, got)) return;
    }
}

}  // namespace vorrel
