#include "platform/Sha256.h"

#include <gtest/gtest.h>

#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;

TEST(Sha256, KnownDigests) {
    const std::string abc = "abc";
    EXPECT_EQ(sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size())),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    test::TempHome home;
    EXPECT_EQ(sha256Hex(home.write("empty", "")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex(home.write("abc", "abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, StreamedFileMatchesTheWholeBuffer) {
    test::TempHome home;
    // The read buffer follows the file's size: empty, around one page, and longer than several
    // read chunks and not a multiple of one.
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097},
          std::size_t{(3u << 20) + 12345}}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 131) ^ (i >> 9));
        const fs::path file = home.write("file \u00e9\n" + std::to_string(size) + ".eps", bytes);
        EXPECT_EQ(sha256Hex(file),
                  sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size())));
    }
}

TEST(Sha256, UnreadableFilesThrowWithErrnoAndPath) {
    test::TempHome home;
    const struct {
        fs::path path;
        std::errc error;
    } cases[] = {
        {home.root() / "missing.eps", std::errc::no_such_file_or_directory},
        {home.root(), std::errc::is_a_directory},
        {home.write("plain", "x") / "below", std::errc::not_a_directory},
    };
    for (const auto& c : cases) {
        try {
            sha256Hex(c.path);
            ADD_FAILURE() << "no error for " << c.path;
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), std::make_error_code(c.error)) << c.path;
            EXPECT_NE(std::string(error.what()).find(c.path.string()), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace vorrel::platform
