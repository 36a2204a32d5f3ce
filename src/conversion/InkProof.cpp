#include "conversion/InkProof.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "conversion/PdfContent.h"

namespace vorrel {

namespace {

constexpr std::size_t kDeepestSave = 64;

// Marks that darken a pixel of the rendering, in its pixels: a stroke at least this long and
// this wide (a hairline is one pixel wide), a fill at least this wide both ways and this large.
constexpr double kShortestStroke = 1.0;
constexpr double kThinnestStroke = 0.25;
constexpr double kNarrowestFill = 0.5;
constexpr double kSmallestFill = 0.25;
// Text whose em is at least this many pixels, its origin an em inside the page.
constexpr double kSmallestText = 3.0;

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

using Matrix = std::array<double, 6>;
constexpr Matrix kIdentity{1, 0, 0, 1, 0, 0};

// `first`, then `second`, as PDF composes them (cm: the new matrix, then the current one).
Matrix times(const Matrix& first, const Matrix& second) {
    const Matrix& m = first;
    const Matrix& c = second;
    return {m[0] * c[0] + m[1] * c[2],        m[0] * c[1] + m[1] * c[3],
            m[2] * c[0] + m[3] * c[2],        m[2] * c[1] + m[3] * c[3],
            m[4] * c[0] + m[5] * c[2] + c[4], m[4] * c[1] + m[5] * c[3] + c[5]};
}

// How much the matrix stretches a unit length at least and at most.
std::array<double, 2> stretches(const Matrix& matrix) {
    const auto [a, b, c, d] = std::array{matrix[0], matrix[1], matrix[2], matrix[3]};
    const double sum = a * a + b * b + c * c + d * d;
    const double determinant = a * d - b * c;
    const double root = std::sqrt(std::max(0.0, sum * sum - 4 * determinant * determinant));
    return {std::sqrt(std::max(0.0, (sum - root) / 2)), std::sqrt((sum + root) / 2)};
}

struct GraphicsState {
    Colour fill = Colour::ink;  // a page starts in black
    Colour stroke = Colour::ink;
    bool followed = true;       // no clip, graphics state or unusable matrix in force
    bool dashed = false;
    double lineWidth = 1;
    Matrix matrix = kIdentity;
    double fontSize = 0;
    double textMode = 0;
    double horizontalScale = 100;
    double leading = 0;

    std::array<double, 2> onPage(double x, double y) const {
        return {matrix[0] * x + matrix[2] * y + matrix[4], matrix[1] * x + matrix[3] * y + matrix[5]};
    }
};

using Point = std::array<double, 2>;

// The length of the segment from a to b within the page (Liang-Barsky).
double lengthWithin(Point a, Point b, const Box& page) {
    const double dx = b[0] - a[0], dy = b[1] - a[1];
    double low = 0, high = 1;
    const std::array<std::array<double, 2>, 4> edges{{{-dx, a[0] - page.llx},
                                                      {dx, page.urx - a[0]},
                                                      {-dy, a[1] - page.lly},
                                                      {dy, page.ury - a[1]}}};
    for (const auto& [p, q] : edges) {
        if (p == 0) {
            if (q < 0) return 0;
            continue;
        }
        const double t = q / p;
        if (p < 0) low = std::max(low, t);
        else high = std::min(high, t);
        if (low > high) return 0;
    }
    return (high - low) * std::hypot(dx, dy);
}

// The part of a polygon within the page (Sutherland-Hodgman): its area and extent.
std::pair<double, Box> partWithin(const std::vector<Point>& polygon, const Box& page) {
    std::vector<Point> points = polygon, next;
    const auto clip = [&](auto inside, auto cross) {
        next.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % points.size()];
            if (inside(a)) next.push_back(a);
            if (inside(a) != inside(b)) next.push_back(cross(a, b));
        }
        points.swap(next);
    };
    const auto along = [](const Point& a, const Point& b, double t) {
        return Point{a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t};
    };
    clip([&](const Point& p) { return p[0] >= page.llx; },
         [&](const Point& a, const Point& b) { return along(a, b, (page.llx - a[0]) / (b[0] - a[0])); });
    clip([&](const Point& p) { return p[0] <= page.urx; },
         [&](const Point& a, const Point& b) { return along(a, b, (page.urx - a[0]) / (b[0] - a[0])); });
    clip([&](const Point& p) { return p[1] >= page.lly; },
         [&](const Point& a, const Point& b) { return along(a, b, (page.lly - a[1]) / (b[1] - a[1])); });
    clip([&](const Point& p) { return p[1] <= page.ury; },
         [&](const Point& a, const Point& b) { return along(a, b, (page.ury - a[1]) / (b[1] - a[1])); });
    if (points.size() < 3) return {0, {}};
    double twice = 0;
    Box extent = around(points[0], points[0]);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % points.size()];
        twice += a[0] * b[1] - b[0] * a[1];
        extent = join(extent, around(b, b));
    }
    return {std::abs(twice) / 2, extent};
}

// The current path, in page space: whether some subpath of straight lines covers enough of the
// page, or some straight segment lies along enough of it, to show in the rendering.
class Path {
public:
    void moveTo(Point point, const Rendering& rendering) {
        closeSubpath(rendering);
        subpath_ = {point};
        curved_ = false;
        include(point);
    }
    void lineTo(Point point, const Rendering& rendering) {
        if (subpath_.empty()) moveTo(point, rendering);
        if (lengthWithin(subpath_.back(), point, rendering.page) * rendering.scale >= kShortestStroke)
            stroked_ = true;
        add(point);
    }
    // A curve: its control points bound it, but say nothing of its area or length.
    void curveTo(Point point, const Rendering& rendering) {
        if (subpath_.empty()) moveTo(point, rendering);
        curved_ = true;
        add(point);
    }
    void closeSubpath(const Rendering& rendering) {
        if (!curved_ && subpath_.size() >= 3 && subpath_.size() <= kLongestSubpath) {
            const auto [area, extent] = partWithin(subpath_, rendering.page);
            const double scale = rendering.scale;
            if (area * scale * scale >= kSmallestFill &&
                (extent.urx - extent.llx) * scale >= kNarrowestFill &&
                (extent.ury - extent.lly) * scale >= kNarrowestFill)
                filled_ = true;
        }
        subpath_.clear();
    }
    void clear() { *this = Path(); }
    bool filled() const { return filled_; }
    bool stroked() const { return stroked_; }
    // Every point of the path, widened by `margin` each way.
    Box extent(double margin) const {
        return {all_.llx - margin, all_.lly - margin, all_.urx + margin, all_.ury + margin};
    }

private:
    static constexpr std::size_t kLongestSubpath = 4096;
    void add(Point point) {
        if (subpath_.size() <= kLongestSubpath) subpath_.push_back(point);
        include(point);
    }
    void include(Point point) {
        all_ = any_ ? join(all_, around(point, point)) : around(point, point);
        any_ = true;
    }
    std::vector<Point> subpath_;
    bool curved_ = false;
    Box all_;
    bool any_ = false;
    bool filled_ = false;
    bool stroked_ = false;
};

bool paintsInk(std::string_view content, const Rendering& rendering) {
    using Kind = pdf::ContentTokens::Kind;
    pdf::ContentTokens tokens(content);
    std::vector<double> operands;
    std::vector<GraphicsState> saved;
    GraphicsState state;
    Path path;
    int arrayDepth = 0;
    bool arrayEmpty = true;
    bool arrayMarks = false;   // a string in the last array is a mark
    bool stringMarks = false;  // the last operand string is a mark
    Matrix text = kIdentity;
    Matrix line = kIdentity;
    // Where proven ink lies so far. Paint that might be white over it (white, another colour
    // space, under a graphics state that may blend, or an image) withdraws the proof.
    std::optional<Box> inked;
    const auto mark = [&](const Box& box) { inked = inked ? join(*inked, box) : box; };
    const auto cover = [&](const Box& box) {
        if (inked && box.across(*inked) >= 0 && box.up(*inked) >= 0) inked.reset();
    };
    // Whether text shown now, with a mark in it, darkens pixels: filled in ink, large enough,
    // its origin an em inside the page.
    const auto textShows = [&](bool marks) {
        if (!marks || !state.followed || state.fill != Colour::ink || state.fontSize == 0 ||
            (state.textMode != 0 && state.textMode != 2) || state.horizontalScale < 50)
            return false;
        const Matrix placed = times(text, state.matrix);
        const auto [least, most] = stretches(placed);
        const double em = std::abs(state.fontSize);
        if (em * least * rendering.scale < kSmallestText) return false;
        const double x = placed[4], y = placed[5], margin = em * most;
        const Box& page = rendering.page;
        if (x - margin < page.llx || x + margin > page.urx || y - margin < page.lly ||
            y + margin > page.ury)
            return false;
        mark({x - margin, y - margin, x + margin, y + margin});
        return true;
    };
    for (auto token = tokens.next(); token.kind != Kind::end; token = tokens.next()) {
        switch (token.kind) {
            case Kind::number:
                if (arrayDepth > 0) {
                    arrayEmpty = false;
                } else if (operands.size() < 8) {
                    operands.push_back(token.number);
                }
                continue;
            case Kind::openArray:
                if (arrayDepth++ == 0) {
                    arrayEmpty = true;
                    arrayMarks = false;
                }
                operands.clear();
                continue;
            case Kind::closeArray:
                arrayDepth = std::max(0, arrayDepth - 1);
                continue;
            case Kind::text:
                if (arrayDepth > 0) {
                    arrayEmpty = false;
                    arrayMarks = arrayMarks || token.marks;
                } else {
                    stringMarks = token.marks;
                    operands.clear();
                }
                continue;
            case Kind::other:
                if (arrayDepth > 0) arrayEmpty = false;
                operands.clear();
                continue;
            case Kind::end:
            case Kind::word:
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
            state.matrix = times({at(0), at(1), at(2), at(3), at(4), at(5)}, state.matrix);
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
        } else if (op == "W" || op == "W*" || op == "gs") {
            state.followed = false;
        } else if (op == "BT") {
            text = line = kIdentity;
        } else if (op == "Tf" && has(1)) {
            state.fontSize = at(0);
        } else if (op == "Tr" && has(1)) {
            state.textMode = at(0);
            if (at(0) >= 4) state.followed = false;  // the text clips
        } else if (op == "Tz" && has(1)) {
            state.horizontalScale = at(0);
        } else if (op == "TL" && has(1)) {
            state.leading = at(0);
        } else if (op == "Tm" && has(6)) {
            text = line = {at(0), at(1), at(2), at(3), at(4), at(5)};
        } else if ((op == "Td" || op == "TD") && has(2)) {
            if (op == "TD") state.leading = -at(1);
            text = line = times({1, 0, 0, 1, at(0), at(1)}, line);
        } else if (op == "T*") {
            text = line = times({1, 0, 0, 1, 0, -state.leading}, line);
        } else if (op == "Tj" || op == "'" || op == "\"" || op == "TJ") {
            if (op != "Tj" && op != "TJ") text = line = times({1, 0, 0, 1, 0, -state.leading}, line);
            const bool marks = op == "TJ" ? arrayMarks : stringMarks;
            // Text that may be white over ink: where its glyphs end is not known here.
            if (!textShows(marks) && marks && state.textMode != 3) inked.reset();
        } else if (op == "w" && has(1)) {
            state.lineWidth = std::abs(at(0));
        } else if (op == "d") {
            state.dashed = !arrayEmpty;
        } else if (op == "m" && has(2)) {
            path.moveTo(state.onPage(at(0), at(1)), rendering);
        } else if (op == "l" && has(2)) {
            path.lineTo(state.onPage(at(0), at(1)), rendering);
        } else if ((op == "c" && has(6)) || ((op == "v" || op == "y") && has(4))) {
            for (std::size_t i = 0; i + 1 < operands.size(); i += 2)
                path.curveTo(state.onPage(at(i), at(i + 1)), rendering);
        } else if (op == "h") {
            path.closeSubpath(rendering);
        } else if (op == "re" && has(4)) {
            path.moveTo(state.onPage(at(0), at(1)), rendering);
            path.lineTo(state.onPage(at(0) + at(2), at(1)), rendering);
            path.lineTo(state.onPage(at(0) + at(2), at(1) + at(3)), rendering);
            path.lineTo(state.onPage(at(0), at(1) + at(3)), rendering);
            path.lineTo(state.onPage(at(0), at(1)), rendering);
            path.closeSubpath(rendering);
        } else if (op == "BI") {
            return false;  // an inline image's bytes are not tokens
        } else if (op == "Do" || op == "sh") {
            inked.reset();  // an image, a form or a shading, anywhere
        } else {
            const bool fills = op == "f" || op == "F" || op == "f*" || op == "B" || op == "B*" ||
                               op == "b" || op == "b*";
            const bool strokes = op == "S" || op == "s" || op == "B" || op == "B*" || op == "b" ||
                                 op == "b*";
            if (fills || strokes || op == "n") {
                path.closeSubpath(rendering);
                const auto [least, most] = stretches(state.matrix);
                const double halfWidth = state.lineWidth * most / 2 + 1 / rendering.scale;
                const bool filledInk = state.followed && fills && state.fill == Colour::ink;
                const bool strokedInk = state.followed && strokes && state.stroke == Colour::ink;
                // The fill is painted first, then the stroke over it.
                if (fills && !filledInk) cover(path.extent(0));
                if (filledInk && path.filled()) mark(path.extent(0));
                // A hairline is a pixel wide, but only where the matrix squeezes no way much.
                const bool wide = state.lineWidth == 0
                                      ? least >= most / 2
                                      : state.lineWidth * least * rendering.scale >= kThinnestStroke;
                if (strokes && !strokedInk) cover(path.extent(halfWidth));
                if (strokedInk && !state.dashed && path.stroked() && wide) mark(path.extent(halfWidth));
                path.clear();
            }
        }
        operands.clear();
        stringMarks = false;
    }
    return inked.has_value();
}

}  // namespace

bool contentPaintsInk(std::string_view content) {
    constexpr double kEverywhere = 1e9;
    return paintsInk(content, {{-kEverywhere, -kEverywhere, kEverywhere, kEverywhere}, 1});
}

bool pdfProvesInk(std::string_view pdf, int longestSide) {
    if (pdf.size() > kInkProofLargest) return false;
    return pdf::forEachPage(pdf, kInkProofPages, kInkProofLargest, [&](const pdf::Page& page) {
        const Box box{page.llx, page.lly, page.urx, page.ury};
        const double longest = std::max(box.urx - box.llx, box.ury - box.lly);
        if (longest <= 0) return false;
        return paintsInk(page.content, {box, std::min(1.0, longestSide / longest)});
    });
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
