#include "conversion/StagedInput.h"

#include <cerrno>
#include <string_view>
#include <system_error>

#include "conversion/Decompression.h"
#include "conversion/IncompleteDocument.h"
#include "platform/FileDescriptor.h"
#include "platform/PrintableText.h"

namespace vorrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSourceName = "source";

std::system_error fileError(int error, const char* what, const fs::path& path) {
    return std::system_error(error, std::generic_category(),
                             std::string(what) + " " + platform::escapeControlCharacters(path.string()));
}

Compression formatOf(const platform::SourceFile& file) {
    const std::string first = file.head(3);
    return first.empty() ? Compression::none : compressionOf(first);
}

bool readableInPlace(const platform::SourceFile& file, bool copy, std::chrono::nanoseconds settled) {
    return !copy && file.regular() && file.settled(settled);
}

// Expands the compressed file open at `in` (read from its start) into `folder`: the path of
// the expansion, named for a stream cut short when it is one.
fs::path expand(int in, Compression format, std::uint64_t compressedSize, const fs::path& folder,
                const std::function<bool()>& stopped) {
    const fs::path staged = folder / kStagedInputName;
    const platform::FileDescriptor out = platform::createNewFile(staged, 0600);
    if (!out) throw fileError(errno, "cannot create", staged);
    std::uint64_t expanded = 0;
    std::error_code ignored;
    try {
        decompress(in, format, decompressedSizeLimit(compressedSize),
                   [&](std::string_view bytes) {
                       if (!platform::writeAll(out.get(), bytes))
                           throw std::system_error(errno, std::generic_category(), "cannot write");
                       expanded += bytes.size();
                       return !stopped();
                   });
    } catch (const DecompressionError& error) {
        // A stream that ends early still gives what it holds, as zcat does: named for it.
        if (error.limitText().empty() && expanded > 0) {
            const fs::path cut = folder / kCutInputName;
            std::error_code moved;
            fs::rename(staged, cut, moved);
            if (!moved) return cut;
        }
        fs::remove(staged, ignored);
        throw;
    } catch (...) {
        fs::remove(staged, ignored);
        throw;
    }
    return staged;
}

}  // namespace

StagedInput::StagedInput(const fs::path& source, const fs::path& folder, bool copy,
                         const platform::ByteObserver& observe,
                         const std::function<bool()>& stopped, std::chrono::nanoseconds settled)
    : source_(source), inPlace_(readableInPlace(source_, copy, settled)) {
    const fs::path own = folder / kSourceName;
    if (inPlace_) {
        if (const Compression format = formatOf(source_); format != Compression::none) {
            path_ = expand(source_.descriptor(), format, source_.size(), folder, stopped);
            return;
        }
        std::error_code error;
        fs::create_symlink(fs::absolute(source), own, error);
        if (error) throw std::system_error(error, "cannot create " + own.string());
        path_ = own;
        return;
    }
    platform::copyFileOnce(source, own, observe);
    path_ = own;
    // The copy decides: it holds the bytes observed.
    const platform::SourceFile copied(own);
    if (const Compression format = formatOf(copied); format != Compression::none)
        path_ = expand(copied.descriptor(), format, copied.size(), folder, stopped);
}

void StagedInput::readSource(const platform::ByteObserver& observe) const {
    if (inPlace_) source_.readAll(observe);
}

bool StagedInput::unchanged() const { return !inPlace_ || source_.unchanged(); }

std::uint64_t StagedInput::bytesWritten(const fs::path& source, bool copy,
                                        std::chrono::nanoseconds settled) {
    const platform::SourceFile file(source);
    if (readableInPlace(file, copy, settled) && formatOf(file) == Compression::none) return 0;
    return file.size();
}

}  // namespace vorrel
