#include "settings/ValueJson.h"

#include <gtest/gtest.h>

namespace vorrel::platform {
namespace {

Date dateFromNanoseconds(std::int64_t nanoseconds) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::nanoseconds(nanoseconds)));
}

// The written form is read by people and by other tools: pin the exact text.
TEST(ValueJson, WritesTheDocumentedForms) {
    const struct {
        Value value;
        const char* text;
    } cases[] = {
        {Value(true), "true"},
        {Value(std::int64_t{-42}), "-42"},
        {Value(std::uint64_t{42}), R"({"$unsigned":42})"},
        {Value(1.0), "1.0"},
        {Value(-2.5e-7), "-2.5e-07"},
        {Value(std::numeric_limits<double>::infinity()), R"({"$double":"inf"})"},
        {Value("a\"b"), R"("a\"b")"},
        {Value(Bytes{'M', 'a'}), R"({"$bytes":"TWE="})"},
        {Value(dateFromNanoseconds(1)), R"({"$date":"1970-01-01T00:00:00.000000001Z"})"},
        {Value(dateFromNanoseconds(-1)), R"({"$date":"1969-12-31T23:59:59.999999999Z"})"},
        {Value(Dictionary{{"$x", Value(1)}, {"y", Value(Array{})}}), R"({"$$x":1,"y":[]})"},
    };
    for (const auto& c : cases) EXPECT_EQ(encodeJson(c.value), c.text);
}

TEST(ValueJson, ReadsPlainJsonByItsShape) {
    EXPECT_EQ(decodeJson("7").kind(), Value::Kind::Integer);
    EXPECT_EQ(decodeJson("7.0").kind(), Value::Kind::Double);
    EXPECT_EQ(decodeJson("1e2").kind(), Value::Kind::Double);
    EXPECT_EQ(decodeJson("18446744073709551615"), Value(std::numeric_limits<std::uint64_t>::max()));
    EXPECT_EQ(decodeJson(R"({"$date":"2026-12-07T21:36:49Z"})"),
              Value(dateFromNanoseconds(1'796'679'409'000'000'000)));
    EXPECT_EQ(decodeJson(R"({"$date":"2026-12-07T21:36:49.5Z"})"),
              Value(dateFromNanoseconds(1'796'679'409'500'000'000)));
    // Two entries are never a tag, whatever their keys.
    EXPECT_EQ(decodeJson(R"({"$bytes":"AA==","b":1})"),
              Value(Dictionary{{"$bytes", Value("AA==")}, {"b", Value(1)}}));
}

TEST(ValueJson, RefusesMalformedInput) {
    for (const char* text : {
             "", "{", "null", "[1, null]", R"({"$bytes":"A"})", R"({"$bytes":"A==="})",
             R"({"$bytes":"AB*="})", R"({"$bytes":7})", R"({"$date":"2026-02-30T00:00:00Z"})",
             R"({"$date":"2026-12-07 21:36:49Z"})", R"({"$date":"2026-12-07T21:36:49.1234567890Z"})",
             R"({"$date":"9999-01-01T00:00:00Z"})", R"({"$unsigned":-1})", R"({"$unsigned":1.5})",
             R"({"$double":"big"})", R"({"$rawString":"%%%%"})"})
        EXPECT_THROW(decodeJson(text), ValueJsonError) << text;
    EXPECT_THROW(decodeDictionaryJson("[]"), ValueJsonError);
    // Just past the last and before the first nanosecond a Date can hold.
    EXPECT_THROW(decodeJson(R"({"$date":"2262-04-11T23:47:16.854775808Z"})"), ValueJsonError);
    EXPECT_THROW(decodeJson(R"({"$date":"1677-09-21T00:12:43.145224191Z"})"), ValueJsonError);
    EXPECT_THROW(decodeJson(R"({"$rawKey:%%%%":1,"b":2})"), ValueJsonError);
}

// Whatever the encoder writes, the decoder reads back as it was: the first and last
// Dates, and dictionary keys that are not UTF-8.
TEST(ValueJson, EveryEncodableValueReadsBack) {
    using Limits = std::numeric_limits<std::int64_t>;
    const Value values[] = {
        Value(dateFromNanoseconds(Limits::max())),
        Value(dateFromNanoseconds(Limits::min())),
        Value(dateFromNanoseconds(Limits::min() + 999'999'999)),
        Value(Dictionary{{"\xff\xfe", Value(1)}, {std::string("a\0b", 3), Value(2)}}),
        Value(Dictionary{{"\xc3(", Value("only key")}}),
        Value(Dictionary{{"$rawKey:/w==", Value("a key that looks encoded")}, {"\xff", Value(3)}}),
    };
    for (const auto& value : values) {
        const std::string text = encodeJson(value);
        EXPECT_EQ(decodeJson(text), value) << text;
    }
    EXPECT_EQ(encodeJson(Value(dateFromNanoseconds(Limits::max()))),
              R"({"$date":"2262-04-11T23:47:16.854775807Z"})");
}

// Nesting is bounded on both sides, so no file can exhaust the stack of a reader.
TEST(ValueJson, NestingIsBoundedOnBothSides) {
    const auto nested = [](int depth) {
        Value value(1);
        for (int i = 0; i < depth; ++i) value = Value(Array{value});
        return value;
    };
    const auto brackets = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };

    EXPECT_EQ(decodeJson(encodeJson(nested(kMaxValueJsonDepth))), nested(kMaxValueJsonDepth));
    EXPECT_THROW(encodeJson(nested(kMaxValueJsonDepth + 1)), ValueJsonError);
    EXPECT_NO_THROW(decodeJson(brackets(kMaxValueJsonDepth)));
    EXPECT_THROW(decodeJson(brackets(kMaxValueJsonDepth + 1)), ValueJsonError);
    EXPECT_THROW(decodeJson(brackets(200'000)), ValueJsonError);
    EXPECT_THROW(decodeDictionaryJson("{\"k\":" + brackets(200'000) + "}"), ValueJsonError);
}

}  // namespace
}  // namespace vorrel::platform
