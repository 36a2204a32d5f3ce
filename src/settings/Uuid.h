#pragma once
// Uuid: a 128-bit universally unique identifier, stored by Prefs as its canonical string.
//
// The canonical text is 36 upper-case characters with hyphens after the 8th, 12th, 16th
// and 20th hexadecimal digit ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"). Parsing accepts
// either case and nothing else (no braces, no missing hyphens).
// A value type; thread-safe like any value.

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorrel::Prefs {

class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    Uuid() = default;  // the nil UUID, all zero
    explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

    // A random (version 4) UUID.
    static Uuid random();
    static std::optional<Uuid> fromString(std::string_view text);

    std::string string() const;
    const Bytes& bytes() const { return bytes_; }

    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes bytes_{};
};

}  // namespace vorrel::Prefs

template <>
struct std::hash<vorrel::Prefs::Uuid> {
    std::size_t operator()(const vorrel::Prefs::Uuid& uuid) const noexcept;
};
