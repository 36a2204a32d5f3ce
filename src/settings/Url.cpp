// File URLs for std::filesystem::path values (URLBridge) and key texts.
#include <charconv>

#include "settings/Bridges.h"

namespace vorrel::Prefs {

namespace detail {

namespace {

// Characters a URL path keeps as they are (RFC 3986 unreserved, sub-delims, '@', '/').
// ':' is escaped so that a relative path never reads as a scheme.
bool keepsInPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '-': case '.': case '_': case '~': case '!': case '$': case '&': case '\'':
        case '(': case ')': case '*': case '+': case ',': case ';': case '=':
        case '@': case '/':
            return true;
        default:
            return false;
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = hexValue(text[i + 1]);
        int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

}  // namespace

std::string fileUrlString(const std::filesystem::path& path) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const std::string& native = path.native();
    std::string text = path.is_absolute() ? "file://" : "";
    for (unsigned char c : native) {
        if (keepsInPath(c)) {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += digits[c >> 4];
            text += digits[c & 0x0F];
        }
    }
    return text;
}

std::optional<std::filesystem::path> pathFromFileUrlString(const std::string& text) {
    std::string_view rest = text;
    constexpr std::string_view scheme = "file://";
    if (rest.starts_with(scheme)) {
        rest.remove_prefix(scheme.size());
        if (!rest.starts_with('/')) return std::nullopt;  // a host name: not a local file
    } else {
        // Any other scheme is not a file; a ':' in the first segment would be one.
        auto colon = rest.find(':');
        if (colon != std::string_view::npos && rest.substr(0, colon).find('/') == std::string_view::npos)
            return std::nullopt;
    }
    auto bytes = percentDecode(rest);
    if (!bytes) return std::nullopt;
    return std::filesystem::path(*bytes);
}

std::optional<std::int64_t> parseSigned(const std::string& text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> parseUnsigned(const std::string& text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace detail

std::optional<std::string> URLBridge::serialize(const std::optional<std::filesystem::path>& value) {
    if (!value) return std::nullopt;
    return encodeJsonText(detail::fileUrlString(*value));
}

std::optional<std::filesystem::path> URLBridge::deserialize(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    auto url = decodeJsonText<std::string>(*text);
    if (!url) return std::nullopt;
    return detail::pathFromFileUrlString(*url);
}

}  // namespace vorrel::Prefs
