#pragma once
// SourceKind: what a PostScript file is, for the conversion: a drawing (EPS, cropped to its
// box) or a document (every page at the size it asks for), and whether it is compressed.
//
// readSourceKind(file):
//  1. the compression from the file's first bytes (compressionOf(), Decompression.h);
//  2. the start of the content: the file's first kPeekBytes bytes, or for a compressed file the
//     first kPeekBytes bytes it expands to (a damaged or oversized stream gives what came out
//     before the fault);
//  3. a drawing when the content says so: a DOS-binary EPS header (C5 D0 D3 C6), or a first
//     line "%!PS-Adobe-<version> EPSF-<version>"; or when the name says so: the suffixes of
//     image/x-eps (.eps, .epsi, .epsf, in any case), also before ".gz" or ".bz2". Otherwise a
//     document. So a ".ps" that is EPS inside is a drawing, and an ".eps" stays one whatever
//     its first line.
// Never throws for the file's sake: a file that cannot be read is an uncompressed drawing when
// its name says EPS, else an uncompressed document; its conversion reports the fault.
//
// Thread-safety: a plain function; call it from any thread.

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "conversion/Decompression.h"

namespace vorrel {

struct SourceKind {
    static constexpr std::size_t kPeekBytes = 4096;

    Compression compression = Compression::none;
    bool document = false;

    friend bool operator==(const SourceKind&, const SourceKind&) = default;
};

// The content's start says EPS (see above).
bool contentIsEps(std::string_view start);
// The file name has one of image/x-eps's suffixes, possibly before ".gz" or ".bz2".
bool nameIsEps(const std::filesystem::path& file);

SourceKind readSourceKind(const std::filesystem::path& file);

}  // namespace vorrel
