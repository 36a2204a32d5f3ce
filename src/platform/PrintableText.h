#pragma once
// escapeControlCharacters(text): `text` with every control character (bytes 0x00-0x1f and
// 0x7f) written as an escape ("\n", "\t", "\r", else "\x1b" and the like), and every backslash
// doubled, so that a file name or a converter's message printed in a terminal or a log line
// can neither end the line nor steer the terminal (titles, colours, cursor).
// Bytes from 0x80 up (UTF-8) stay as they are.
//
// Thread-safety: a pure function.

#include <string>
#include <string_view>

namespace vorrel::platform {

inline std::string escapeControlCharacters(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (byte < 0x20 || byte == 0x7f) {
            escaped += "\\x";
            escaped += kDigits[byte >> 4];
            escaped += kDigits[byte & 0x0f];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace vorrel::platform
