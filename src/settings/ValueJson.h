#pragma once
// ValueJson: the JSON text of a Value, lossless for every kind.
//
// Plain JSON where JSON is unambiguous, a one-entry tagged object where it is not:
//
//   Boolean            true / false
//   Integer (int64)    a JSON integer: 42, -7
//   Unsigned (uint64)  {"$unsigned": 42}       (a bare integer reads back as Integer;
//                                               one above INT64_MAX reads as Unsigned)
//   Double             a JSON number with a fraction or exponent: 1.0, 2.5e-07;
//                      not-a-number and infinities as {"$double": "nan" | "inf" | "-inf"}
//   String             a JSON string; text that is not valid UTF-8 (JSON cannot carry it)
//                      as {"$rawString": "<base64 of the bytes>"}
//   Bytes              {"$bytes": "<base64, RFC 4648 with padding>"}
//   Date               {"$date": "2026-12-07T21:36:49.123456789Z"} (UTC, 9 fraction digits)
//   Array              a JSON array
//   Dictionary         a JSON object; a key that begins with "$" is written with one more
//                      "$" in front ("$x" -> "$$x"), so no user key is taken for a tag;
//                      a key that is not valid UTF-8 as "$rawKey:<base64 of the bytes>"
//
// A JSON object with exactly one entry whose key is one of the tags above is that tagged
// value; any other object is a Dictionary.
//
// Nesting: arrays and dictionaries nest at most kMaxValueJsonDepth deep (the top level
// counts as 1; tagged values do not count). Deeper values are refused by the encoder and
// deeper text by the decoder, so whatever is encoded decodes again and no input can
// exhaust the stack.
//
// Errors: encoding throws ValueJsonError for a value nested too deep; decoding throws
// ValueJsonError for text that is not JSON, nesting too deep, a malformed tag payload or
// "$rawKey:" key, a date outside the Date range, or JSON null. Every Date encodes to a
// text that decodes to the same Date.
// Thread-safety: pure functions.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Value.h"

namespace vorrel::platform {

class ValueJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kMaxValueJsonDepth = 256;

// indent < 0: compact; otherwise pretty-printed with that many spaces per level.
std::string encodeJson(const Value& value, int indent = -1);
Value decodeJson(std::string_view text);

// The text form of a Dictionary as the top-level object of a file; decoding fails
// (ValueJsonError) when the top level is not a Dictionary.
std::string encodeDictionaryJson(const Dictionary& dictionary, int indent = 2);
Dictionary decodeDictionaryJson(std::string_view text);

// A settings file read key by key, so that one damaged value costs only its own key.
// `values` holds every entry whose key and value read; `problems` says, in plain words, what
// could not be read (each damaged key by name, a comment, text after the closing brace, an
// empty or cut-off file). `complete` is false when the text ends before its closing brace
// or holds no dictionary at all: entries after the damage are unknown, not absent.
// Never throws for any input.
struct DictionaryReading {
    Dictionary values;
    std::vector<std::string> problems;
    bool complete = true;
};
DictionaryReading readDictionaryJson(std::string_view text);

// The date form used by "$date", exposed for other readers of the files (and tests).
std::string formatIsoDate(Date date);
std::optional<Date> parseIsoDate(std::string_view text);

// Standard base64 with padding.
std::string encodeBase64(const Bytes& bytes);
std::optional<Bytes> decodeBase64(std::string_view text);

}  // namespace vorrel::platform
