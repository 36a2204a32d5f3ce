#include "settings/JsonText.h"

#include <iostream>

#include "settings/ValueJson.h"

namespace vorrel::Prefs {

namespace detail {

void reportEncodingError(const std::exception& error) {
    std::cout << error.what() << std::endl;
}

std::optional<nlohmann::json> parseJson(std::string_view text) {
    auto json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (json.is_discarded()) return std::nullopt;
    return json;
}

}  // namespace detail

nlohmann::json JsonCodec<platform::Bytes>::encode(const platform::Bytes& value) {
    return platform::encodeBase64(value);
}

std::optional<platform::Bytes> JsonCodec<platform::Bytes>::decode(const nlohmann::json& json) {
    if (!json.is_string()) return std::nullopt;
    return platform::decodeBase64(json.get_ref<const std::string&>());
}

nlohmann::json JsonCodec<platform::Date>::encode(const platform::Date& value) {
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(value.time_since_epoch()).count() -
           detail::referenceDateOffset;
}

std::optional<platform::Date> JsonCodec<platform::Date>::decode(const nlohmann::json& json) {
    if (!json.is_number()) return std::nullopt;
    double seconds = json.get<double>() + detail::referenceDateOffset;
    // Nanosecond time points end about 292 years either side of 1970.
    if (!std::isfinite(seconds) || std::abs(seconds) > 9.0e9) return std::nullopt;
    using Seconds = std::chrono::duration<double>;
    return platform::Date(
        std::chrono::duration_cast<platform::Date::duration>(Seconds(seconds)));
}

}  // namespace vorrel::Prefs
