#include "conversion/InkProof.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace vorrel {

namespace {

constexpr std::size_t kDeepestSave = 64;

// Marks that darken a pixel of the rendering, in its pixels: a stroke at least this long and
// this wide (a hairline is one pixel wide), a fill at least this wide both ways and this large.
constexpr double kShortestStroke = 1.0;
constexpr double kThinnestStroke = 0.25;
constexpr double kNarrowestFill = 0.5;
constexpr double kSmallestFill = 0.25;

struct Box {
    double llx = 0, lly = 0, urx = 0, ury = 0;
    double across(const Box& page) const { return std::min(urx, page.urx) - std::max(llx, page.llx); }
    double up(const Box& page) const { return std::min(ury, page.ury) - std::max(lly, page.lly); }
};

// The page as rendered: its box in points and the pixels a point takes.
struct Rendering {
    Box page;
    double scale = 1;
};

Box around(std::array<double, 2> a, std::array<double, 2> b) {
    return {std::min(a[0], b[0]), std::min(a[1], b[1]), std::max(a[0], b[0]), std::max(a[1], b[1])};
}

Box join(const Box& a, const Box& b) {
    return {std::min(a.llx, b.llx), std::min(a.lly, b.lly), std::max(a.urx, b.urx), std::max(a.ury, b.ury)};
}

enum class Colour { ink, white, unknown };

// Components that all read `white` are white; one clearly away from it is ink. Components are
// clamped to 0…1, as a renderer does.
Colour colourOf(const std::vector<double>& operands, std::size_t count, double white) {
    if (operands.size() != count) return Colour::unknown;
    bool allWhite = true;
    for (const double value : operands) {
        const double distance = std::abs(std::clamp(value, 0.0, 1.0) - white);
        if (distance > 0.01) return Colour::ink;
        if (distance > 0.001) allWhite = false;
    }
    return allWhite ? Colour::white : Colour::unknown;
}

struct GraphicsState {
    Colour fill = Colour::ink;  // a page starts in black
    Colour stroke = Colour::ink;
    bool followed = true;       // no clip, graphics state or unusable matrix in force
    bool dashed = false;
    double lineWidth = 1;
    std::array<double, 6> matrix{1, 0, 0, 1, 0, 0};

    // The stroke's width on the page where the matrix squeezes it most.
    double thinnestStroke() const {
        const auto [a, b, c, d] = std::array{matrix[0], matrix[1], matrix[2], matrix[3]};
        const double sum = a * a + b * b + c * c + d * d;
        const double determinant = a * d - b * c;
        const double root = std::sqrt(std::max(0.0, sum * sum - 4 * determinant * determinant));
        return lineWidth * std::sqrt(std::max(0.0, (sum - root) / 2));
    }

    std::array<double, 2> onPage(double x, double y) const {
        return {matrix[0] * x + matrix[2] * y + matrix[4], matrix[1] * x + matrix[3] * y + matrix[5]};
    }
};

// The current path, in page space: whether some subpath has an area, some segment a length,
// large enough to show in the rendering.
class Path {
public:
    void moveTo(std::array<double, 2> point) {
        points_ = 1;
        first_ = current_ = point;
        extent_ = around(point, point);
    }
    void lineTo(std::array<double, 2> point, const Rendering& rendering) {
        if (points_ == 0) moveTo(point);
        const Box segment = around(current_, point);
        const double across = segment.across(rendering.page), up = segment.up(rendering.page);
        if (across >= 0 && up >= 0 && std::max(across, up) * rendering.scale >= kShortestStroke)
            stroked_ = true;
        extent_ = join(extent_, segment);
        if (points_ == 1 && point != first_) {
            second_ = point;
            points_ = 2;
        } else if (points_ >= 2) {
            const double cross = (second_[0] - first_[0]) * (point[1] - first_[1]) -
                                 (second_[1] - first_[1]) * (point[0] - first_[0]);
            const double squared = rendering.scale * rendering.scale;
            if (std::abs(cross) * squared >= 2 * kSmallestFill &&
                extent_.across(rendering.page) * rendering.scale >= kNarrowestFill &&
                extent_.up(rendering.page) * rendering.scale >= kNarrowestFill)
                filled_ = true;
        }
        current_ = point;
    }
    void clear() { *this = Path(); }
    bool filled() const { return filled_; }
    bool stroked() const { return stroked_; }

private:
    int points_ = 0;
    std::array<double, 2> first_{}, second_{}, current_{};
    Box extent_;
    bool filled_ = false;
    bool stroked_ = false;
};

bool space(char c) {
    return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool regular(char c) {
    return !space(c) && std::string_view("()<>[]{}/%").find(c) == std::string_view::npos;
}

// Reads the content stream's tokens: numbers, operators and the rest (names, strings, arrays).
class Tokens {
public:
    enum class Kind { number, word, openArray, closeArray, other, end };
    struct Token {
        Kind kind = Kind::end;
        double number = 0;
        std::string_view word;
    };
    explicit Tokens(std::string_view text) : text_(text) {}

    Token next() {
        skipSpace();
        if (at_ >= text_.size()) return {};
        const char c = text_[at_];
        if (c == '(') return skipString();
        if (c == '<' || c == '>') {
            if (at_ + 1 < text_.size() && text_[at_ + 1] == c) {
                at_ += 2;
                return {Kind::other};
            }
            if (c == '<') at_ = std::min(text_.find('>', at_), text_.size());
            ++at_;
            return {Kind::other};
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

private:
    void skipSpace() {
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
    Token skipString() {
        int depth = 0;
        for (; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == '\\') {
                ++at_;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                ++at_;
                break;
            }
        }
        return {Kind::other};
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

bool paintsInk(std::string_view content, const Rendering& rendering) {
    Tokens tokens(content);
    std::vector<double> operands;
    std::vector<GraphicsState> saved;
    GraphicsState state;
    Path path;
    int arrayDepth = 0;
    bool arrayEmpty = true;
    for (Tokens::Token token = tokens.next(); token.kind != Tokens::Kind::end; token = tokens.next()) {
        switch (token.kind) {
            case Tokens::Kind::number:
                if (arrayDepth > 0) {
                    arrayEmpty = false;
                } else if (operands.size() < 8) {
                    operands.push_back(token.number);
                }
                continue;
            case Tokens::Kind::openArray:
                if (arrayDepth++ == 0) arrayEmpty = true;
                operands.clear();
                continue;
            case Tokens::Kind::closeArray:
                arrayDepth = std::max(0, arrayDepth - 1);
                continue;
            case Tokens::Kind::other:
                if (arrayDepth > 0) arrayEmpty = false;
                operands.clear();
                continue;
            case Tokens::Kind::end:
            case Tokens::Kind::word:
                break;
        }
        if (arrayDepth > 0) {
            arrayEmpty = false;
            continue;
        }
        const std::string_view op = token.word;
        const auto has = [&](std::size_t count) { return operands.size() == count; };
        const auto at = [&](std::size_t i) { return operands[i]; };
        if (op == "q") {
            if (saved.size() >= kDeepestSave) return false;
            saved.push_back(state);
        } else if (op == "Q") {
            if (!saved.empty()) {
                state = saved.back();
                saved.pop_back();
            }
        } else if (op == "cm" && has(6)) {
            const std::array<double, 6> m{at(0), at(1), at(2), at(3), at(4), at(5)};
            const std::array<double, 6>& c = state.matrix;
            state.matrix = {m[0] * c[0] + m[1] * c[2],        m[0] * c[1] + m[1] * c[3],
                            m[2] * c[0] + m[3] * c[2],        m[2] * c[1] + m[3] * c[3],
                            m[4] * c[0] + m[5] * c[2] + c[4], m[4] * c[1] + m[5] * c[3] + c[5]};
            if (!std::isfinite(state.matrix[0] * state.matrix[3] - state.matrix[1] * state.matrix[2]))
                state.followed = false;
        } else if (op == "g" || op == "rg" || op == "k" || op == "G" || op == "RG" || op == "K") {
            const bool cmyk = op.back() == 'k' || op.back() == 'K';
            const Colour colour = colourOf(operands, op.size() == 2 ? 3 : cmyk ? 4 : 1, cmyk ? 0 : 1);
            (std::islower(static_cast<unsigned char>(op.front())) ? state.fill : state.stroke) = colour;
        } else if (op == "cs" || op == "sc" || op == "scn") {
            state.fill = Colour::unknown;
        } else if (op == "CS" || op == "SC" || op == "SCN") {
            state.stroke = Colour::unknown;
        } else if (op == "W" || op == "W*" || op == "gs" || (op == "Tr" && has(1) && at(0) >= 4)) {
            state.followed = false;
        } else if (op == "w" && has(1)) {
            state.lineWidth = std::abs(at(0));
        } else if (op == "d") {
            state.dashed = !arrayEmpty;
        } else if (op == "m" && has(2)) {
            path.moveTo(state.onPage(at(0), at(1)));
        } else if (op == "l" && has(2)) {
            path.lineTo(state.onPage(at(0), at(1)), rendering);
        } else if ((op == "c" && has(6)) || ((op == "v" || op == "y") && has(4))) {
            for (std::size_t i = 0; i + 1 < operands.size(); i += 2)
                path.lineTo(state.onPage(at(i), at(i + 1)), rendering);
        } else if (op == "re" && has(4)) {
            path.moveTo(state.onPage(at(0), at(1)));
            path.lineTo(state.onPage(at(0) + at(2), at(1)), rendering);
            path.lineTo(state.onPage(at(0) + at(2), at(1) + at(3)), rendering);
            path.lineTo(state.onPage(at(0), at(1) + at(3)), rendering);
        } else if (op == "BI") {
            return false;  // an inline image's bytes are not tokens
        } else {
            const bool fills = op == "f" || op == "F" || op == "f*" || op == "B" || op == "B*" ||
                               op == "b" || op == "b*";
            const bool strokes = op == "S" || op == "s" || op == "B" || op == "B*" || op == "b" ||
                                 op == "b*";
            if (fills || strokes || op == "n") {
                if (state.followed &&
                    ((fills && state.fill == Colour::ink && path.filled()) ||
                     (strokes && state.stroke == Colour::ink && !state.dashed && path.stroked() &&
                      (state.lineWidth == 0 ||
                       state.thinnestStroke() * rendering.scale >= kThinnestStroke))))
                    return true;
                path.clear();
            }
        }
        operands.clear();
    }
    return false;
}

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
std::optional<std::string> decodedStream(std::string_view object) {
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
    const std::string_view data = object.substr(start, end - start);
    if (!flate) return std::string(data);

    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    std::string out;
    std::array<char, 1 << 16> buffer;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int result = Z_OK;
    while (result == Z_OK && out.size() < kInkProofLargest) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
        stream.avail_out = static_cast<uInt>(buffer.size());
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer.data(), buffer.size() - stream.avail_out);
        if (result == Z_BUF_ERROR && stream.avail_in == 0) break;  // cut short: what came
    }
    inflateEnd(&stream);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return std::nullopt;
    return out;
}

}  // namespace

bool contentPaintsInk(std::string_view content) {
    constexpr double kEverywhere = 1e9;
    return paintsInk(content, {{-kEverywhere, -kEverywhere, kEverywhere, kEverywhere}, 1});
}

bool pdfProvesInk(std::string_view pdf, int longestSide) {
    if (pdf.size() > kInkProofLargest) return false;
    int pages = 0;
    for (std::size_t at = pdf.find("/Type"); at != std::string_view::npos && pages < kInkProofPages;
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
        const Box box{std::min(*llx, *urx), std::min(*lly, *ury), std::max(*llx, *urx),
                      std::max(*lly, *ury)};

        const std::size_t contents = page.find("/Contents");
        if (contents == std::string_view::npos) continue;
        cursor = contents + 9;
        const bool list = page.find_first_not_of(" \r\n", cursor) == page.find('[', cursor);
        if (list) cursor = page.find('[', cursor) + 1;
        std::string content;
        for (;;) {
            std::size_t probe = cursor;
            const auto number = numberAt(page, probe);
            const auto generation = numberAt(page, probe);
            if (!number || !generation || *number < 1 || *number > 1e9) break;
            while (probe < page.size() && page[probe] == ' ') ++probe;
            if (probe >= page.size() || page[probe] != 'R') break;
            cursor = probe + 1;
            const auto object = objectNumbered(pdf, static_cast<long>(*number));
            const auto decoded = object ? decodedStream(*object) : std::nullopt;
            if (!decoded) {
                content.clear();
                break;
            }
            content += *decoded;
            content += '\n';
            if (!list || content.size() > kInkProofLargest) break;
        }
        const double longest = std::max(box.urx - box.llx, box.ury - box.lly);
        if (longest <= 0) continue;
        const Rendering rendering{box, std::min(1.0, longestSide / longest)};
        if (!content.empty() && paintsInk(content, rendering)) return true;
    }
    return false;
}

bool provesInk(const std::filesystem::path& pdf, int longestSide) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(pdf, error);
    if (error || size > kInkProofLargest) return false;
    std::ifstream in(pdf, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return false;
    return pdfProvesInk(bytes, longestSide);
}

}  // namespace vorrel
