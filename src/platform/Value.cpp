#include "platform/Value.h"

#include <cmath>
#include <limits>

namespace vorrel::platform {

std::optional<double> Value::asDouble() const {
    if (auto* b = get<bool>()) return *b ? 1.0 : 0.0;
    if (auto* i = get<std::int64_t>()) return static_cast<double>(*i);
    if (auto* u = get<std::uint64_t>()) return static_cast<double>(*u);
    if (auto* d = get<double>()) return *d;
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInt64() const {
    if (auto* b = get<bool>()) return *b ? 1 : 0;
    if (auto* i = get<std::int64_t>()) return *i;
    if (auto* u = get<std::uint64_t>()) {
        if (*u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return static_cast<std::int64_t>(*u);
    }
    if (auto* d = get<double>()) {
        // 2^63 is exactly representable; anything at or above it does not fit.
        if (!std::isfinite(*d) || std::trunc(*d) != *d || *d < -9223372036854775808.0 ||
            *d >= 9223372036854775808.0)
            return std::nullopt;
        return static_cast<std::int64_t>(*d);
    }
    return std::nullopt;
}

std::string_view kindName(Value::Kind kind) {
    switch (kind) {
        case Value::Kind::Boolean: return "Boolean";
        case Value::Kind::Integer: return "Integer";
        case Value::Kind::Unsigned: return "Unsigned";
        case Value::Kind::Double: return "Double";
        case Value::Kind::String: return "String";
        case Value::Kind::Bytes: return "Bytes";
        case Value::Kind::Date: return "Date";
        case Value::Kind::Array: return "Array";
        case Value::Kind::Dictionary: return "Dictionary";
    }
    return "?";
}

}  // namespace vorrel::platform
