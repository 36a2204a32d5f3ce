#include "settings/AnySerializable.h"

namespace vorrel::Prefs {

std::optional<Object> AnyBridge::serialize(const std::optional<AnySerializable>& value) {
    if (!value) return std::nullopt;
    return value->value();
}

std::optional<AnySerializable> AnyBridge::deserialize(const std::optional<Object>& object) {
    if (!object) return std::nullopt;
    return AnySerializable(*object);
}

}  // namespace vorrel::Prefs
