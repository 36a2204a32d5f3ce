#include "logbook/FileUrl.h"

#include <string_view>

namespace vorrel {

namespace {

bool keptInPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) != std::string_view::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string fileUrlString(const std::filesystem::path& path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string& text = error ? path.native() : absolute.native();
    std::string url = "file://";
    url.reserve(url.size() + text.size() + 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInPath(c)) {
            url += ch;
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0x0F];
        }
    }
    return url;
}

std::optional<std::filesystem::path> pathFromFileUrl(std::string_view url) {
    constexpr std::string_view scheme = "file://";
    if (url.size() < scheme.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        const char c = url[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != scheme[i]) {
            return std::nullopt;
        }
    }
    std::string_view rest = url.substr(scheme.size());
    // An authority of "localhost" (or none) names this machine.
    if (rest.starts_with("localhost/")) {
        rest.remove_prefix(std::string_view("localhost").size());
    }
    if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string decoded;
    decoded.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 &&
            hexValue(rest[i + 2]) >= 0) {
            decoded += static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
            i += 2;
        } else {
            decoded += rest[i];
        }
    }
    return std::filesystem::path(decoded);
}

}  // namespace vorrel
