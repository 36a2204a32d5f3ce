#include "platform/Uuid.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace vorrel::platform {

std::string newUuidString() {
    std::array<unsigned char, 16> bytes{};
    // The kernel's generator: no library state per thread, nothing to set up first.
    if (getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        std::ifstream random("/dev/urandom", std::ios::binary);
        if (!random.read(reinterpret_cast<char*>(bytes.data()), bytes.size()))
            throw std::system_error(EIO, std::generic_category(), "cannot read /dev/urandom");
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace vorrel::platform
