#include "conversion/DscHeader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorrel {

namespace {

constexpr std::string_view kBoxKeyword = "%%BoundingBox:";
constexpr std::string_view kHiResKeyword = "%%HiResBoundingBox:";
constexpr std::string_view kContinuation = "%%+";
constexpr std::string_view kTrailer = "%%Trailer";
constexpr std::string_view kDocumentMedia = "%%DocumentMedia:";
constexpr std::string_view kPageMedia = "%%PageMedia:";
constexpr std::string_view kPaperSizes = "%%DocumentPaperSizes:";
constexpr std::string_view kPaperSize = "%%PaperSize:";
constexpr std::string_view kOrientation = "%%Orientation:";
constexpr std::string_view kPageOrientation = "%%PageOrientation:";
// Comments after which no media comment of the document's defaults can follow.
constexpr std::string_view kMediaEnds[] = {"%%BeginPreview", "%%BeginProlog", "%%BeginSetup",
                                           "%%Page:",        "%%Trailer",     "%%EndDefaults"};
constexpr std::string_view kDosBinaryMagic = "\xC5\xD0\xD3\xC6";
constexpr std::uint64_t kDosBinaryHeaderSize = 30;
// How far the hi-res box may lie from the other before it is taken for another drawing's.
constexpr double kHiResTolerance = 2;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

bool isBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), isSpace);
}

// A number of a DSC comment: an integer or a real, finite.
std::optional<double> number(std::string_view token) {
    if (token.size() > 1 && token.front() == '+') token.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The lines of the bytes [begin, end) of a file, through the stream's own small buffer. A line
// keeps at most DscHeader::kLineLimit bytes; the rest of a longer one is passed over.
class LineReader {
public:
    LineReader(std::ifstream& in, std::uint64_t begin, std::uint64_t end)
        : buffer_(*in.rdbuf()), left_(end > begin ? end - begin : 0) {
        const auto at = static_cast<std::streamoff>(begin);
        if (buffer_.pubseekpos(at, std::ios::in) != std::streampos(at)) left_ = 0;
    }

    // The next line without its line end, or nothing past the last one.
    std::optional<std::string_view> next() {
        if (left_ == 0) return std::nullopt;
        line_.clear();
        while (left_ > 0) {
            const int c = take();
            if (c == '\n' || c == std::char_traits<char>::eof()) break;
            if (c == '\r') {  // CR LF ends one line
                if (left_ > 0 && buffer_.sgetc() == '\n') take();
                break;
            }
            if (line_.size() < DscHeader::kLineLimit) line_.push_back(static_cast<char>(c));
        }
        return std::string_view(line_);
    }

private:
    int take() {
        const int c = buffer_.sbumpc();
        left_ = c == std::char_traits<char>::eof() ? 0 : left_ - 1;
        return c;
    }

    std::streambuf& buffer_;
    std::uint64_t left_;
    std::string line_;
};

// The numbers of one box comment, fed as they come: after its keyword, then from "%%+" lines.
class BoxParser {
public:
    enum class State { collecting, complete, atEnd, broken };

    void feed(std::string_view text) {
        std::size_t at = 0;
        while (state_ == State::collecting) {
            while (at < text.size() && isSpace(text[at])) ++at;
            if (at == text.size()) return;
            std::size_t end = at;
            while (end < text.size() && !isSpace(text[end])) ++end;
            take(text.substr(at, end - at));
            at = end;
        }
    }

    State state() const { return state_; }
    BoundingBox box() const { return {numbers_[0], numbers_[1], numbers_[2], numbers_[3]}; }

private:
    void take(std::string_view token) {
        if (count_ == 0 && token == "(atend)") {
            state_ = State::atEnd;
            return;
        }
        const auto value = number(token);
        if (!value) {
            state_ = State::broken;
            return;
        }
        numbers_[count_++] = *value;
        if (count_ == numbers_.size()) state_ = State::complete;
    }

    std::array<double, 4> numbers_{};
    std::size_t count_ = 0;
    State state_ = State::collecting;
};

// The two box comments of a run of lines, with their "%%+" continuations. In a header the
// first of each kind counts; in a trailer each new one replaces the one before.
class BoxComments {
public:
    explicit BoxComments(bool firstCounts) : firstCounts_(firstCounts) {}

    void read(std::string_view line) {
        if (continuing_ && line.starts_with(kContinuation)) {
            continuing_->feed(line.substr(kContinuation.size()));
        } else {
            continuing_ = nullptr;
            for (auto [keyword, parser] : {Kind{kBoxKeyword, &box}, Kind{kHiResKeyword, &hiRes}}) {
                if (!line.starts_with(keyword) || (firstCounts_ && parser->has_value())) continue;
                continuing_ = &parser->emplace();
                continuing_->feed(line.substr(keyword.size()));
            }
        }
        if (continuing_ && continuing_->state() != BoxParser::State::collecting)
            continuing_ = nullptr;
    }

    std::optional<BoxParser> box, hiRes;

private:
    using Kind = std::pair<std::string_view, std::optional<BoxParser>*>;
    bool firstCounts_;
    BoxParser* continuing_ = nullptr;
};

// The next DSC text of `text` from `at` on: a word, or a "(...)" string with nested parentheses
// and backslash escapes kept as written. Empty at the end of the text.
std::string_view nextText(std::string_view text, std::size_t& at) {
    while (at < text.size() && isSpace(text[at])) ++at;
    const std::size_t begin = at;
    if (at < text.size() && text[at] == '(') {
        int depth = 0;
        for (; at < text.size(); ++at) {
            if (text[at] == '\\') {
                ++at;
            } else if (text[at] == '(') {
                ++depth;
            } else if (text[at] == ')' && --depth == 0) {
                ++at;
                break;
            }
        }
        at = std::min(at, text.size());
    } else {
        while (at < text.size() && !isSpace(text[at])) ++at;
    }
    return text.substr(begin, at - begin);
}

// The clockwise turn a viewer gives the pages of an orientation comment: 90 for "Landscape",
// 270 for "Seascape", 0 for anything else ("Portrait", "(atend)").
int turnNamed(std::string_view text) {
    std::size_t at = 0;
    const std::string_view word = nextText(text, at);
    if (word == "Landscape") return 90;
    if (word == "Seascape") return 270;
    return 0;
}

// The media comments of a header and its defaults section.
class MediaComments {
public:
    bool done() const { return done_; }

    void read(std::string_view line) {
        if (done_) return;
        for (std::string_view end : kMediaEnds)
            if (line.starts_with(end)) {
                done_ = true;
                return;
            }
        if (line.starts_with(kContinuation)) {
            if (continuing_ == Continuing::media) addEntries(line.substr(kContinuation.size()));
            if (continuing_ == Continuing::paper) addPaper(line.substr(kContinuation.size()));
            return;
        }
        continuing_ = Continuing::none;
        if (line.starts_with(kDocumentMedia) && !sawMedia_) {
            sawMedia_ = true;
            continuing_ = Continuing::media;
            addEntries(line.substr(kDocumentMedia.size()));
        } else if (line.starts_with(kPageMedia) && !pageMedia_) {
            std::size_t at = kPageMedia.size();
            pageMedia_ = std::string(nextText(line, at));
        } else if (line.starts_with(kPaperSizes) && !sawPaper_) {
            sawPaper_ = true;
            continuing_ = Continuing::paper;
            addPaper(line.substr(kPaperSizes.size()));
        } else if (line.starts_with(kPaperSize) && singlePaper_.empty()) {
            std::size_t at = kPaperSize.size();
            singlePaper_ = std::string(nextText(line, at));
            if (singlePaper_ == "(atend)") singlePaper_.clear();
        } else if (line.starts_with(kOrientation) && !orientation_) {
            orientation_ = turnNamed(line.substr(kOrientation.size()));
        } else if (line.starts_with(kPageOrientation) && !pageOrientation_) {
            pageOrientation_ = turnNamed(line.substr(kPageOrientation.size()));
        }
    }

    // The defaults' %%PageOrientation, else the document's %%Orientation.
    int turn() const { return pageOrientation_.value_or(orientation_.value_or(0)); }

    std::optional<MediaSize> media() const {
        const Entry* chosen = nullptr;
        for (const Entry& entry : entries_) {
            if (!entry.size.isUsable()) continue;
            if (pageMedia_ && entry.name == *pageMedia_) return entry.size;
            if (!chosen) chosen = &entry;
        }
        if (chosen) return chosen->size;
        return std::nullopt;
    }

    // %%DocumentPaperSizes' first name, else %%PaperSize's.
    const std::string& paperSize() const { return paperSize_.empty() ? singlePaper_ : paperSize_; }

private:
    enum class Continuing { none, media, paper };
    struct Entry {
        std::string name;
        MediaSize size;
    };

    // One entry per line: "%%DocumentMedia:" and each "%%+" line name one medium.
    void addEntries(std::string_view text) {
        if (entries_.size() == DscHeader::kMediaLimit) return;
        std::size_t at = 0;
        const std::string_view name = nextText(text, at);
        const auto width = number(nextText(text, at));
        const auto height = number(nextText(text, at));
        if (name.empty() || name == "(atend)" || !width || !height) return;
        entries_.push_back({std::string(name), {*width, *height}});
    }

    void addPaper(std::string_view text) {
        std::size_t at = 0;
        if (paperSize_.empty()) paperSize_ = std::string(nextText(text, at));
        if (paperSize_ == "(atend)") paperSize_.clear();
    }

    bool done_ = false;
    bool sawMedia_ = false, sawPaper_ = false;
    Continuing continuing_ = Continuing::none;
    std::vector<Entry> entries_;
    std::optional<std::string> pageMedia_;
    std::string paperSize_, singlePaper_;
    std::optional<int> orientation_, pageOrientation_;
};

std::optional<BoundingBox> completeBox(const std::optional<BoxParser>& parser) {
    if (!parser || parser->state() != BoxParser::State::complete) return std::nullopt;
    return parser->box();
}

bool decided(const std::optional<BoxParser>& parser) {
    return parser && parser->state() != BoxParser::State::collecting;
}

std::uint32_t littleEndian(const char* bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

}  // namespace

bool MediaSize::isUsable() const {
    const auto within = [](double side) {
        return side >= BoundingBox::kMinimumSide && side <= BoundingBox::kMaximumSide;
    };
    return within(width) && within(height);
}

bool BoundingBox::isUsable() const {
    for (double coordinate : {llx, lly, urx, ury})
        if (!(std::abs(coordinate) <= kCoordinateLimit)) return false;
    return width() >= kMinimumSide && width() <= kMaximumSide && height() >= kMinimumSide &&
           height() <= kMaximumSide;
}

std::optional<BoundingBox> DscHeader::usableBox() const {
    const bool box = boundingBox && boundingBox->isUsable();
    if (hiResBoundingBox && hiResBoundingBox->isUsable()) {
        const auto near = [](double a, double b) { return std::abs(a - b) <= kHiResTolerance; };
        if (!box || (near(hiResBoundingBox->llx, boundingBox->llx) &&
                     near(hiResBoundingBox->lly, boundingBox->lly) &&
                     near(hiResBoundingBox->urx, boundingBox->urx) &&
                     near(hiResBoundingBox->ury, boundingBox->ury)))
            return hiResBoundingBox;
    }
    if (box) return boundingBox;
    return std::nullopt;
}

DscHeader readDscHeader(const std::filesystem::path& file) {
    DscHeader header;
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return header;
    std::ifstream in(file, std::ios::binary);
    if (!in.seekg(0, std::ios::end)) return header;
    const auto size = static_cast<std::uint64_t>(std::max<std::streamoff>(in.tellg(), 0));

    // The PostScript section.
    std::uint64_t begin = 0, end = size;
    char binary[12] = {};
    in.seekg(0);
    in.read(binary, sizeof binary);
    if (std::string_view(binary, std::min<std::size_t>(in.gcount(), 4)) == kDosBinaryMagic) {
        if (in.gcount() < static_cast<std::streamsize>(sizeof binary)) return header;
        begin = littleEndian(binary + 4);
        end = std::min(size, begin + littleEndian(binary + 8));
        if (begin < kDosBinaryHeaderSize || begin >= size) return header;
    }

    BoxComments comments(true);
    MediaComments media;
    LineReader lines(in, begin, std::min(end, begin + DscHeader::kHeaderLimit));
    while (auto line = lines.next()) {
        if (isBlank(*line)) continue;
        if (line->front() != '%') break;
        comments.read(*line);
        media.read(*line);
        if (decided(comments.box) && decided(comments.hiRes) && media.done()) break;
    }
    header.media = media.media();
    header.paperSize = media.paperSize();
    header.turn = media.turn();

    const auto atEnd = [](const std::optional<BoxParser>& parser) {
        return parser && parser->state() == BoxParser::State::atEnd;
    };
    if (atEnd(comments.box) || atEnd(comments.hiRes)) {
        // The tail of the section, from the byte before it, so that a cut line can be dropped.
        const std::uint64_t tail =
            end - begin > DscHeader::kTrailerLimit ? end - DscHeader::kTrailerLimit - 1 : begin;
        // Some writers put the box just before "%%Trailer" rather than after it: the trailer's
        // box wins, else the last one anywhere in the tail counts.
        BoxComments trailer(false), tailAnywhere(false);
        LineReader tailLines(in, tail, end);
        if (tail != begin) tailLines.next();
        while (auto line = tailLines.next()) {
            if (line->starts_with(kTrailer)) trailer = BoxComments(false);
            trailer.read(*line);
            tailAnywhere.read(*line);
        }
        const auto fromTail = [](const std::optional<BoxParser>& inTrailer,
                                 const std::optional<BoxParser>& anywhere) {
            const auto box = completeBox(inTrailer);
            return box ? box : completeBox(anywhere);
        };
        if (atEnd(comments.box)) header.boundingBox = fromTail(trailer.box, tailAnywhere.box);
        if (atEnd(comments.hiRes))
            header.hiResBoundingBox = fromTail(trailer.hiRes, tailAnywhere.hiRes);
    }
    if (!atEnd(comments.box)) header.boundingBox = completeBox(comments.box);
    if (!atEnd(comments.hiRes)) header.hiResBoundingBox = completeBox(comments.hiRes);
    return header;
}

}  // namespace vorrel
