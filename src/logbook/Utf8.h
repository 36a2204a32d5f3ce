#pragma once
// UTF-8 validity: well-formed sequences only (no overlong forms, no surrogates, nothing
// above U+10FFFF). Pure function; thread-safe.

#include <string_view>

namespace vorrel {

bool isValidUtf8(std::string_view text);

}  // namespace vorrel
