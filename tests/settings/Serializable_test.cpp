// Stored forms and round trips of every value family, and the conversions a read makes
// when it finds an object of another kind.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PrefsTestSupport.h"
#include "settings/Prefs.h"

namespace sample {

struct Point {
    int x = 0;
    int y = 0;
    std::string label;
    friend bool operator==(const Point&, const Point&) = default;
};
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Point, y, x, label)

// Raw value: the underlying integer.
enum class Mode { fast = 1, slow = 2 };

// JSON-codable and raw-representable: JSON text unless the raw value is preferred.
enum class Theme { light, dark };
NLOHMANN_JSON_SERIALIZE_ENUM(Theme, {{Theme::light, "light"}, {Theme::dark, "dark"}})
enum class Size { small = 10, large = 20 };
NLOHMANN_JSON_SERIALIZE_ENUM(Size, {{Size::small, "small"}, {Size::large, "large"}})

// String raw values that reject unknown cases.
enum class Fruit { apple, pear };

struct Bag {
    using value_type = int;
    std::vector<int> items;
    Bag() = default;
    explicit Bag(std::vector<int> v) : items(std::move(v)) {}
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
    friend bool operator==(const Bag&, const Bag&) = default;
};

struct Flags {
    using value_type = std::string;
    std::set<std::string> bits;
    void insert(std::string bit) { bits.insert(std::move(bit)); }
    auto begin() const { return bits.begin(); }
    auto end() const { return bits.end(); }
    friend bool operator==(const Flags&, const Flags&) = default;
};

}  // namespace sample

namespace vorrel::Prefs {
template <>
struct EnumCases<sample::Mode> {
    static constexpr std::array values{sample::Mode::fast, sample::Mode::slow};
};
template <>
struct EnumCases<sample::Size> {
    static constexpr std::array values{sample::Size::small, sample::Size::large};
};
template <>
inline constexpr bool preferRawRepresentable<sample::Size> = true;
template <>
inline constexpr bool isCollectionSerializable<sample::Bag> = true;
template <>
inline constexpr bool isSetAlgebraSerializable<sample::Flags> = true;
template <>
struct RawRepresentable<sample::Fruit> {
    using RawValue = std::string;
    static std::string rawValue(sample::Fruit f) { return f == sample::Fruit::apple ? "apple" : "pear"; }
    static std::optional<sample::Fruit> fromRawValue(const std::string& raw) {
        if (raw == "apple") return sample::Fruit::apple;
        if (raw == "pear") return sample::Fruit::pear;
        return std::nullopt;
    }
};
}  // namespace vorrel::Prefs

namespace vorrel {
namespace {

using platform::Array;
using platform::Dictionary;
using Prefs::Object;
using sample::Point;

class SerializableTest : public test::PrefsTest {
protected:
    // Writes `value` through a key whose default differs, checks the exact stored object
    // and that the key reads the value back.
    template <class V>
    void expectRoundTrip(const V& value, const Object& stored, const V& defaultValue = V{}) {
        SCOPED_TRACE(testing::Message() << "key " << counter_);
        Prefs::Key<V> key("k" + std::to_string(counter_++), suite, defaultValue);
        Prefs::set(key, value);
        EXPECT_EQ(suite->objectForKey(key.name()), std::optional<Object>(stored));
        EXPECT_TRUE(Prefs::get(key) == value);
    }

    // Stores `object` directly and reads it through a key of type V.
    template <class V>
    V readAs(const Object& object, const V& defaultValue) {
        Prefs::Key<V> key("r" + std::to_string(counter_++), suite, defaultValue);
        suite->setObject(object, key.name());
        return Prefs::get(key);
    }

    int counter_ = 0;
};

TEST_F(SerializableTest, NativeScalarsAreStoredUnchanged) {
    expectRoundTrip(true, Object(true));
    expectRoundTrip(std::int8_t{-128}, Object(std::int64_t{-128}));
    expectRoundTrip(std::int16_t{-32768}, Object(std::int64_t{-32768}));
    expectRoundTrip(std::int32_t{-7}, Object(std::int64_t{-7}));
    expectRoundTrip(std::numeric_limits<std::int64_t>::min(), Object(std::numeric_limits<std::int64_t>::min()));
    expectRoundTrip(std::uint8_t{255}, Object(std::uint64_t{255}));
    expectRoundTrip(std::uint16_t{65535}, Object(std::uint64_t{65535}));
    expectRoundTrip(std::uint32_t{4294967295u}, Object(std::uint64_t{4294967295u}));
    expectRoundTrip(std::numeric_limits<std::uint64_t>::max(), Object(std::numeric_limits<std::uint64_t>::max()));
    expectRoundTrip(2.5, Object(2.5));
    expectRoundTrip(0.1f, Object(static_cast<double>(0.1f)));
    expectRoundTrip(std::string("a\nb ü"), Object("a\nb ü"));
    expectRoundTrip(platform::Bytes{0, 1, 255}, Object(platform::Bytes{0, 1, 255}));
    const platform::Date date{std::chrono::seconds(1800000000) + std::chrono::milliseconds(5)};
    expectRoundTrip(date, Object(date));
}

TEST_F(SerializableTest, NativeContainersAreStoredUnchanged) {
    expectRoundTrip(std::vector<std::string>{"a", "b"}, Object(Array{Object("a"), Object("b")}));
    expectRoundTrip(std::map<std::string, int>{{"one", 1}, {"two", 2}},
                    Object(Dictionary{{"one", Object(1)}, {"two", Object(2)}}));
    expectRoundTrip(std::optional<int>(4), Object(4), std::optional<int>(9));
    expectRoundTrip(std::vector<std::vector<bool>>{{true}, {false, true}},
                    Object(Array{Object(Array{Object(true)}), Object(Array{Object(false), Object(true)})}));
}

TEST_F(SerializableTest, BridgedValuesHaveTheirStoredForms) {
    expectRoundTrip(Point{1, 2, "p"}, Object(R"({"label":"p","x":1,"y":2})"));
    expectRoundTrip(sample::Mode::slow, Object(2), sample::Mode::fast);
    expectRoundTrip(sample::Theme::dark, Object(R"("dark")"));
    expectRoundTrip(sample::Size::large, Object(20), sample::Size::small);
    expectRoundTrip(sample::Fruit::pear, Object("pear"));
    expectRoundTrip(std::filesystem::path("/tmp/a b/ü\nx:y"), Object(R"("file:///tmp/a%20b/%C3%BC%0Ax%3Ay")"));
    expectRoundTrip(std::filesystem::path("rel/dir"), Object(R"("rel/dir")"));
    const auto uuid = *Prefs::Uuid::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    expectRoundTrip(uuid, Object("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    expectRoundTrip(Prefs::Range<int>{1, 5}, Object(Array{Object(1), Object(5)}));
    expectRoundTrip(Prefs::ClosedRange<Prefs::Uuid>{uuid, uuid},
                    Object(Array{Object(uuid.string()), Object(uuid.string())}));
    expectRoundTrip(std::set<std::string>{"b", "a"}, Object(Array{Object("a"), Object("b")}));
    expectRoundTrip(sample::Bag(std::vector<int>{3, 1, 3}), Object(Array{Object(3), Object(1), Object(3)}));
    expectRoundTrip(sample::Flags{{"x", "y"}}, Object(Array{Object("x"), Object("y")}));
}

TEST_F(SerializableTest, ContainersOfBridgedValuesStoreEachElement) {
    expectRoundTrip(std::vector<sample::Mode>{sample::Mode::slow, sample::Mode::fast},
                    Object(Array{Object(2), Object(1)}));
    expectRoundTrip(std::map<int, Point>{{-3, Point{0, 0, ""}}},
                    Object(Dictionary{{"-3", Object(R"({"label":"","x":0,"y":0})")}}));
    expectRoundTrip(std::map<std::string, std::vector<sample::Theme>>{{"t", {sample::Theme::light}}},
                    Object(Dictionary{{"t", Object(Array{Object(R"("light")")})}}));
    expectRoundTrip(std::optional<sample::Fruit>(sample::Fruit::apple), Object("apple"));
    expectRoundTrip(std::optional<std::vector<Prefs::Range<std::uint8_t>>>({{{1, 2}}}),
                    Object(Array{Object(Array{Object(std::uint64_t{1}), Object(std::uint64_t{2})})}));

    Prefs::Key<std::unordered_set<int>> set("set", suite, std::unordered_set<int>{});
    Prefs::set(set, {4, 5, 6});
    EXPECT_EQ(Prefs::get(set), (std::unordered_set<int>{4, 5, 6}));
    ASSERT_TRUE(suite->objectForKey("set")->is<Array>());
    Prefs::Key<std::unordered_map<std::uint16_t, std::string>> map("map", suite, {});
    Prefs::set(map, {{7, "seven"}});
    EXPECT_EQ(suite->objectForKey("map"), std::optional<Object>(Object(Dictionary{{"7", Object("seven")}})));
    EXPECT_EQ(Prefs::get(map).at(7), "seven");
}

TEST_F(SerializableTest, ReadsConvertOtherKindsOrFallBackToTheDefault) {
    // Boolean keys: Booleans, number objects holding 0 or 1, JSON text; nothing else.
    EXPECT_TRUE(readAs(Object("true"), false));
    EXPECT_FALSE(readAs(Object("false"), true));
    EXPECT_TRUE(readAs(Object("yes"), true));
    EXPECT_FALSE(readAs(Object("yes"), false));
    EXPECT_TRUE(readAs(Object(1), false));
    EXPECT_FALSE(readAs(Object(2), false));
    EXPECT_FALSE(readAs(Object("1"), false));  // JSON 1 is a number, not a Boolean
    EXPECT_TRUE(readAs(Object(Array{}), true));

    // Integers: exactly representable numbers, JSON text of integers.
    EXPECT_EQ(readAs<int>(Object(3.0), -1), 3);
    EXPECT_EQ(readAs<int>(Object(3.5), -1), -1);
    EXPECT_EQ(readAs<std::int8_t>(Object(300), 0), 0);
    EXPECT_EQ(readAs<std::uint32_t>(Object(-1), 7u), 7u);
    EXPECT_EQ(readAs<std::int64_t>(Object(std::numeric_limits<std::uint64_t>::max()), 1), 1);
    EXPECT_EQ(readAs<int>(Object("42"), 0), 42);
    EXPECT_EQ(readAs<int>(Object("4.2"), 0), 0);
    EXPECT_EQ(readAs<std::uint8_t>(Object("256"), 1), 1);

    // Floating point: any number for double, an exact one for float.
    EXPECT_EQ(readAs<double>(Object(std::int64_t{1} << 40), 0.0), 1099511627776.0);
    EXPECT_EQ(readAs<float>(Object(0.1), 2.0f), 2.0f);
    EXPECT_EQ(readAs<float>(Object(0.5), 2.0f), 0.5f);
    EXPECT_EQ(readAs<double>(Object("1e3"), 0.0), 1000.0);

    // Strings are never read from other kinds; bytes and dates from their JSON forms.
    EXPECT_EQ(readAs<std::string>(Object(5), "d"), "d");
    EXPECT_EQ(readAs<platform::Bytes>(Object(R"("AAH/")"), {}), (platform::Bytes{0, 1, 255}));
    EXPECT_EQ(readAs<platform::Date>(Object("0"), {}), platform::Date(std::chrono::seconds(978307200)));

    // Bridged values that do not parse.
    EXPECT_EQ(readAs<Point>(Object(R"({"x":1})"), Point{9, 9, "d"}), (Point{9, 9, "d"}));
    EXPECT_EQ(readAs<Point>(Object(R"({"label":"q","x":1,"y":2)"), Point{}), Point{});
    EXPECT_EQ(readAs<sample::Fruit>(Object("kiwi"), sample::Fruit::pear), sample::Fruit::pear);
    // A raw value that names no case of the enumeration.
    EXPECT_EQ(readAs<sample::Mode>(Object(7), sample::Mode::slow), sample::Mode::slow);
    EXPECT_EQ(readAs<sample::Mode>(Object(0), sample::Mode::slow), sample::Mode::slow);
    EXPECT_EQ(readAs<sample::Size>(Object(15), sample::Size::small), sample::Size::small);
    EXPECT_EQ(readAs<sample::Theme>(Object("dark"), sample::Theme::light), sample::Theme::light);
    EXPECT_EQ(readAs<Prefs::Uuid>(Object("E621E1F8C36C495A93FC0C247A3E6E5F"), Prefs::Uuid{}), Prefs::Uuid{});
    EXPECT_EQ(readAs<std::filesystem::path>(Object(R"("https://example.org/x")"), "d"), "d");
    EXPECT_EQ(readAs<std::filesystem::path>(Object(R"("file:///a%2")"), "d"), "d");
    EXPECT_EQ((readAs<Prefs::Range<int>>(Object(Array{Object(1)}), {0, 9})), (Prefs::Range<int>{0, 9}));
}

TEST_F(SerializableTest, ElementsThatFailToConvertAreLeftOut) {
    // Reading: one element of the wrong kind, one unparsable dictionary key.
    EXPECT_EQ(readAs<std::vector<int>>(Object(Array{Object(1), Object("x"), Object("3")}), {}),
              (std::vector<int>{1, 3}));
    EXPECT_EQ(readAs<std::vector<Prefs::Uuid>>(Object(Array{Object("bad")}), {Prefs::Uuid::random()}),
              std::vector<Prefs::Uuid>{});
    EXPECT_EQ((readAs<std::map<int, std::string>>(
                  Object(Dictionary{{"1", Object("a")}, {"one", Object("b")}, {"2", Object(2)}}), {})),
              (std::map<int, std::string>{{1, "a"}}));
    EXPECT_EQ(readAs<std::set<sample::Fruit>>(Object(Array{Object("apple"), Object("kiwi")}), {}),
              std::set<sample::Fruit>{sample::Fruit::apple});

    // Writing: an element whose JSON encoding fails.
    testing::internal::CaptureStdout();
    Prefs::Key<std::vector<Point>> points("points", suite, std::vector<Point>{});
    Prefs::set(points, {Point{1, 1, "a"}, Point{2, 2, "\xff\xfe"}, Point{3, 3, "c"}});
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_THAT(printed, testing::HasSubstr("UTF-8"));
    EXPECT_EQ(Prefs::get(points), (std::vector<Point>{Point{1, 1, "a"}, Point{3, 3, "c"}}));
    ASSERT_TRUE(suite->objectForKey("points"));
    EXPECT_EQ(suite->objectForKey("points")->get<Array>()->size(), 2u);
}

TEST_F(SerializableTest, AValueThatCannotBeEncodedRemovesTheStoredObject) {
    Prefs::Key<Point> key("point", suite, [] { return Point{0, 0, "default"}; });
    Prefs::set(key, Point{5, 6, "stored"});
    ASSERT_TRUE(suite->objectForKey("point"));

    testing::internal::CaptureStdout();
    Prefs::set(key, Point{7, 8, std::string("bad \xc3")});
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(printed.empty());
    EXPECT_FALSE(suite->objectForKey("point"));
    EXPECT_EQ(Prefs::get(key).label, "default");
}

TEST_F(SerializableTest, AnySerializableHoldsLiteralsAndReadsThemAsAnyType) {
    Prefs::AnySerializable dictionary =
        std::map<std::string, Prefs::AnySerializable>{{"n", 1}, {"s", "x"}, {"a", std::vector<Prefs::AnySerializable>{true, 2.5, nullptr}}};
    EXPECT_EQ(dictionary.value(), std::optional<Object>(Object(Dictionary{
                                      {"n", Object(1)}, {"s", Object("x")}, {"a", Object(Array{Object(true), Object(2.5)})}})));

    Prefs::Key<Prefs::AnySerializable> key("any", suite, Prefs::AnySerializable(nullptr));
    EXPECT_TRUE(Prefs::get(key).isNil());
    Prefs::set(key, dictionary);
    EXPECT_EQ(Prefs::get(key), dictionary);
    Prefs::set(key, 42);
    EXPECT_EQ(Prefs::get(key).get<std::uint8_t>(), std::optional<std::uint8_t>(42));
    EXPECT_EQ(Prefs::get(key).get<std::string>(), std::nullopt);
    Prefs::set(key, nullptr);
    EXPECT_FALSE(suite->objectForKey("any"));
    EXPECT_EQ(Prefs::AnySerializable(Point{1, 2, "z"}).get<Point>(), (Point{1, 2, "z"}));
}

}  // namespace
}  // namespace vorrel
