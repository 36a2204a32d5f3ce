#pragma once
// Range and ClosedRange: a pair of bounds, stored by Prefs as a two-element array
// [lowerBound, upperBound] whose elements are stored as their own type says.
// Range is half-open (upper bound excluded), ClosedRange includes its upper bound; the
// stored form is the same. Neither checks lowerBound <= upperBound.

#include <compare>

namespace vorrel::Prefs {

template <class Bound>
struct Range {
    Bound lowerBound{};
    Bound upperBound{};
    bool contains(const Bound& b) const { return !(b < lowerBound) && b < upperBound; }
    friend bool operator==(const Range&, const Range&) = default;
};

template <class Bound>
struct ClosedRange {
    Bound lowerBound{};
    Bound upperBound{};
    bool contains(const Bound& b) const { return !(b < lowerBound) && !(upperBound < b); }
    friend bool operator==(const ClosedRange&, const ClosedRange&) = default;
};

}  // namespace vorrel::Prefs
