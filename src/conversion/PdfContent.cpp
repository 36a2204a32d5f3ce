#include "conversion/PdfContent.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

namespace vorrel::pdf {

namespace {

bool space(char c) {
    return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool regular(char c) {
    return !space(c) && std::string_view("()<>[]{}/%").find(c) == std::string_view::npos;
}

bool marking(unsigned value) { return value != 0 && value != ' '; }

std::optional<double> numberAt(std::string_view text, std::size_t& at) {
    while (at < text.size() && !regular(text[at]) && text[at] != '/' && text[at] != ']') ++at;
    const std::size_t start = at;
    while (at < text.size() && regular(text[at])) ++at;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + at, value);
    if (error != std::errc() || end != text.data() + at || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The object "number 0 obj ... endobj" of the file, or nothing.
std::optional<std::string_view> objectNumbered(std::string_view pdf, long number) {
    const std::string header = std::to_string(number) + " 0 obj";
    for (std::size_t at = pdf.find(header); at != std::string_view::npos; at = pdf.find(header, at + 1)) {
        if (at > 0 && pdf[at - 1] != '\n' && pdf[at - 1] != '\r') continue;
        const std::size_t end = pdf.find("endobj", at);
        if (end == std::string_view::npos) return std::nullopt;
        return pdf.substr(at + header.size(), end - at - header.size());
    }
    return std::nullopt;
}

// A content stream object's decoded bytes, or nothing when it is not a plain or Flate stream.
std::optional<std::string> decodedStream(std::string_view object, std::size_t largest) {
    const std::size_t keyword = object.find("stream");
    if (keyword == std::string_view::npos) return std::nullopt;
    const std::string_view dictionary = object.substr(0, keyword);
    const std::size_t filter = dictionary.find("/Filter");
    const bool flate = filter != std::string_view::npos;
    if (flate && dictionary.substr(filter + 7).find_first_not_of(" \r\n") !=
                     dictionary.substr(filter + 7).find("/FlateDecode"))
        return std::nullopt;
    std::size_t start = keyword + 6;
    if (start < object.size() && object[start] == '\r') ++start;
    if (start < object.size() && object[start] == '\n') ++start;
    const std::size_t end = std::min(object.find("endstream", start), object.size());
    std::string_view data = object.substr(start, end - start);
    // The end of line before "endstream" is not part of the data.
    if (data.ends_with('\n')) data.remove_suffix(1);
    if (data.ends_with('\r')) data.remove_suffix(1);
    if (!flate) return std::string(data);

    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    std::string out;
    std::array<char, 1 << 16> buffer;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int result = Z_OK;
    while (result == Z_OK && out.size() < largest) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
        stream.avail_out = static_cast<uInt>(buffer.size());
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer.data(), buffer.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    // A stream cut short, or damaged further on, gives what came before.
    if (result != Z_STREAM_END && out.empty()) return std::nullopt;
    return out;
}

}  // namespace

ContentTokens::Token ContentTokens::next() {
    skipSpace();
    if (at_ >= text_.size()) return {};
    const char c = text_[at_];
    if (c == '(') return literalString();
    if (c == '<' || c == '>') {
        if (at_ + 1 < text_.size() && text_[at_ + 1] == c) {
            at_ += 2;
            return {Kind::other};
        }
        if (c == '>') {
            ++at_;
            return {Kind::other};
        }
        return hexString();
    }
    if (c == '[' || c == ']') {
        ++at_;
        return {c == '[' ? Kind::openArray : Kind::closeArray};
    }
    if (c == '/') ++at_;
    const std::size_t start = at_;
    while (at_ < text_.size() && regular(text_[at_])) ++at_;
    if (c == '/' || at_ == start) {
        if (at_ == start) ++at_;  // a lone delimiter: { } )
        return {Kind::other};
    }
    const std::string_view word = text_.substr(start, at_ - start);
    double number = 0;
    const char* first = word.data() + (word.front() == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(first, word.data() + word.size(), number);
    if (error == std::errc() && end == word.data() + word.size() && std::isfinite(number))
        return {Kind::number, number};
    return {Kind::word, 0, word};
}

void ContentTokens::skipSpace() {
    while (at_ < text_.size()) {
        if (text_[at_] == '%') {
            at_ = std::min(text_.find_first_of("\r\n", at_), text_.size());
        } else if (space(text_[at_])) {
            ++at_;
        } else {
            return;
        }
    }
}

// A literal string: whether a byte of it, escapes read, is a mark.
ContentTokens::Token ContentTokens::literalString() {
    Token token{Kind::text};
    int depth = 0;
    for (; at_ < text_.size(); ++at_) {
        const char c = text_[at_];
        if (c == '\\' && at_ + 1 < text_.size()) {
            const char escaped = text_[++at_];
            if (escaped >= '0' && escaped <= '7') {
                unsigned value = 0;
                for (int digits = 0; digits < 3 && at_ < text_.size() && text_[at_] >= '0' &&
                                     text_[at_] <= '7';
                     ++digits, ++at_)
                    value = value * 8 + static_cast<unsigned>(text_[at_] - '0');
                --at_;
                token.marks = token.marks || marking(value & 0xff);
            } else if (escaped != '\r' && escaped != '\n') {
                token.marks = token.marks || marking(static_cast<unsigned char>(escaped));
            }
        } else if (c == '(') {
            if (depth++ > 0) token.marks = true;
        } else if (c == ')') {
            if (--depth == 0) {
                ++at_;
                break;
            }
            token.marks = true;
        } else {
            token.marks = token.marks || marking(static_cast<unsigned char>(c));
        }
    }
    return token;
}

// A hexadecimal string: whether a byte of it is a mark.
ContentTokens::Token ContentTokens::hexString() {
    Token token{Kind::text};
    const std::size_t end = std::min(text_.find('>', at_), text_.size());
    unsigned value = 0;
    int digits = 0;
    for (++at_; at_ < end; ++at_) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[at_])));
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        if (++digits == 2) {
            token.marks = token.marks || marking(value);
            value = 0;
            digits = 0;
        }
    }
    if (digits == 1) token.marks = token.marks || marking(value * 16);
    at_ = end + 1;
    return token;
}

bool forEachPage(std::string_view pdf, int most, std::size_t largest,
                 const std::function<bool(const Page&)>& visit) {
    int pages = 0;
    for (std::size_t at = pdf.find("/Type"); at != std::string_view::npos && pages < most;
         at = pdf.find("/Type", at + 1)) {
        std::size_t name = at + 5;
        while (name < pdf.size() && (pdf[name] == ' ' || pdf[name] == '\r' || pdf[name] == '\n')) ++name;
        if (pdf.substr(name, 5) != "/Page" || (name + 5 < pdf.size() && regular(pdf[name + 5])))
            continue;
        // The page's own dictionary: from its object's start to its end.
        const std::size_t begin = pdf.rfind(" obj", at);
        const std::size_t end = pdf.find("endobj", at);
        if (begin == std::string_view::npos || end == std::string_view::npos) continue;
        const std::string_view page = pdf.substr(begin, end - begin);
        ++pages;

        // The rendering shows the crop box where there is one: only a page without follows.
        const std::size_t media = page.find("/MediaBox");
        if (media == std::string_view::npos || page.find("/CropBox") != std::string_view::npos)
            continue;
        std::size_t cursor = page.find('[', media);
        if (cursor == std::string_view::npos) continue;
        ++cursor;
        const auto llx = numberAt(page, cursor), lly = numberAt(page, cursor),
                   urx = numberAt(page, cursor), ury = numberAt(page, cursor);
        if (!llx || !lly || !urx || !ury) continue;
        Page found{std::min(*llx, *urx), std::min(*lly, *ury), std::max(*llx, *urx),
                   std::max(*lly, *ury)};

        const std::size_t contents = page.find("/Contents");
        if (contents == std::string_view::npos) continue;
        cursor = contents + 9;
        const bool list = page.find_first_not_of(" \r\n", cursor) == page.find('[', cursor);
        if (list) cursor = page.find('[', cursor) + 1;
                for (;;) {
            std::size_t probe = cursor;
            const auto number = numberAt(page, probe);
            const auto generation = numberAt(page, probe);
            if (!number || !generation || *number < 1 || *number > 1e9) break;
            while (probe < page.size() && page[probe] == ' ') ++probe;
            if (probe >= page.size() || page[probe] != 'R') break;
            cursor = probe + 1;
            const auto object = objectNumbered(pdf, static_cast<long>(*number));
            const auto decoded = object ? decodedStream(*object, largest) : std::nullopt;
            if (!decoded) {
                found.content.clear();
                break;
            }
            found.content += *decoded;
            found.content += '\n';
            if (!list || found.content.size() > largest) break;
        }
        if (!found.content.empty() && visit(found)) return true;
    }
    return false;
}

}  // namespace vorrel::pdf
