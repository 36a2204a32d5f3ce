#pragma once
// The little of PDF the ink proof (InkProof.h) reads from what Ghostscript's pdfwrite writes:
// the tokens of a content stream, and each page's box and decoded contents.
//
// ContentTokens: numbers, operator words, strings (whether a byte of them is a mark: neither a
// space nor a zero), array brackets and the rest (names, dictionaries), comments skipped.
// forEachPage(): the first `most` page dictionaries written out in the file (none inside object
// streams), each with its /MediaBox and its /Contents streams joined, plain or Flate-decoded (a
// stream cut short or damaged gives what came before); a page without a media box, with a crop
// box, or with contents of another kind is passed over. Every read stays within the bytes
// given; decoded contents are cut at `largest` bytes.
//
// Thread-safety: plain functions; a ContentTokens belongs to one thread.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vorrel::pdf {

class ContentTokens {
public:
    enum class Kind { number, word, text, openArray, closeArray, other, end };
    struct Token {
        Kind kind = Kind::end;
        double number = 0;
        std::string_view word;
        bool marks = false;  // text: some byte of it is neither a space nor a zero
    };
    explicit ContentTokens(std::string_view text) : text_(text) {}
    Token next();

private:
    void skipSpace();
    Token literalString();
    Token hexString();

    std::string_view text_;
    std::size_t at_ = 0;
};

struct Page {
    double llx = 0, lly = 0, urx = 0, ury = 0;  // the media box, ordered
    std::string content;
};

// Calls `visit` with each page in turn until it answers true; answers whether one did.
bool forEachPage(std::string_view pdf, int most, std::size_t largest,
                 const std::function<bool(const Page&)>& visit);

}  // namespace vorrel::pdf
