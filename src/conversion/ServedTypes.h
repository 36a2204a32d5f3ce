#pragma once
// The MIME types (shared-mime-info's names) that the preview and the thumbnailer serve:
// Encapsulated PostScript, PostScript documents, and their gzip and bzip2 compressed forms.
// The desktop entry, the thumbnailer entry, the extension's metadata and the set-up link
// list the same types.

#include <array>
#include <string_view>

namespace vorrel {

inline constexpr std::array<std::string_view, 6> kServedMimeTypes = {
    "image/x-eps",               // .eps .epsi .epsf
    "application/postscript",    // .ps
    "application/x-gzpostscript",
    "application/x-bzpostscript",
    "image/x-gzeps",
    "image/x-bzeps",
};

}  // namespace vorrel
