// The decompressor on streams the tests write: whole, cut short, past the cap.
#include "conversion/Decompression.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/PostScript.h"

namespace vorrel {
namespace {

// `bytes` behind a descriptor, as a file would give them.
class Stream {
public:
    explicit Stream(const std::string& bytes) : file_(std::tmpfile()) {
        std::fwrite(bytes.data(), 1, bytes.size(), file_);
        std::fflush(file_);
        std::rewind(file_);
    }
    ~Stream() { std::fclose(file_); }
    int fd() const { return fileno(file_); }

private:
    std::FILE* file_;
};

std::string expand(const std::string& compressed, Compression format, std::uint64_t limit) {
    const Stream in(compressed);
    std::string out;
    decompress(in.fd(), format, limit, [&out](std::string_view bytes) {
        out.append(bytes);
        return true;
    });
    return out;
}

TEST(Decompression, ExpandsWholeStreamsAndRefusesDamagedOrOversizedOnes) {
    const std::string content(10'000, 'x');
    struct Case {
        const char* name;
        std::string compressed;
        std::uint64_t limit;
        std::string expected;  // the content, or the error's text
    };
    const std::string gz = test::ps::gzip(content);
    const std::string bz = test::ps::bzip2(content);
    const Case cases[] = {
        {"gzip", gz, 10'000, content},
        {"bzip2", bz, 10'000, content},
        {"gzip members one after the other", gz + test::ps::gzip("yz"), 10'002, content + "yz"},
        {"gzip padded with zero bytes", gz + std::string(512, '\0'), 10'000, content},
        {"gzip followed by other bytes", gz + std::string(8, 'x'), 10'000,
         "The compressed file is damaged."},
        {"gzip one byte past the cap", gz, 9'999,
         "The compressed file expands to more than 9.8 KiB."},
        {"bzip2 past the cap", bz, 2048, "The compressed file expands to more than 2 KiB."},
        {"gzip cut short", gz.substr(0, gz.size() - 10), 10'000, "The compressed file is damaged."},
        {"bzip2 cut short", bz.substr(0, bz.size() / 2), 10'000, "The compressed file is damaged."},
        {"garbage after a gzip signature", "\x1f\x8bnot really", 10'000,
         "The compressed file is damaged."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Compression format = compressionOf(c.compressed);
        std::string result;
        try {
            result = expand(c.compressed, format, c.limit);
        } catch (const DecompressionError& error) {
            result = error.what();
        }
        EXPECT_EQ(result, c.expected);
    }
}

}  // namespace
}  // namespace vorrel
