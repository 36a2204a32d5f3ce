#include "conversion/PostScript.h"

namespace vorrel {

std::string postScriptString(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (c == '(' || c == ')' || c == '\\') escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

}  // namespace vorrel
