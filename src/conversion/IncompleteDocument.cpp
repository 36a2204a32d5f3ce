#include "conversion/IncompleteDocument.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <string_view>
#include <vector>

#include "conversion/PostScript.h"

namespace vorrel {

namespace {

constexpr std::string_view kPageKey = "/VorrelFailedPage";
constexpr std::string_view kErrorKey = "/VorrelError";

}  // namespace

std::string IncompleteDocument::runSetUp(const std::filesystem::path& input) {
    const bool cut = input.filename() == kCutInputName;
    // After a failure the document's operands and dictionaries are dropped; the page it was
    // drawing is never shown. With no page shown the failure stands (an undefined name).
    return "{ (" + postScriptString(std::filesystem::absolute(input).string()) +
           ") run } stopped { $error /errorname get 64 string cvs } { " +
           (cut ? "(cut)" : "null") +
           " } ifelse dup null eq { pop } { /vorrelError exch def clear "
           "{ countdictstack 3 le { exit } if end } loop "
           "currentpagedevice /PageCount get dup 0 eq { /VorrelNoGoodPage cvx exec } if "
           "[ /VorrelFailedPage 3 -1 roll 1 add /VorrelError vorrelError /DOCINFO pdfmark } "
           "ifelse";
}

std::optional<IncompleteDocument> IncompleteDocument::read(const std::filesystem::path& pdf) {
    std::ifstream in(pdf, std::ios::binary);
    if (!in.seekg(0, std::ios::end)) return std::nullopt;
    const auto size = static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0));
    const std::size_t start = size > kTail ? size - kTail : 0;
    std::vector<char> bytes(size - start);
    in.seekg(static_cast<std::streamoff>(start));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
    const std::string_view text(bytes.data(), bytes.size());

    const auto page = text.rfind(kPageKey);
    const auto error = text.rfind(kErrorKey);
    if (page == std::string_view::npos || error == std::string_view::npos) return std::nullopt;
    IncompleteDocument mark;
    std::size_t at = page + kPageKey.size();
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    const auto [end, failed] =
        std::from_chars(text.data() + at, text.data() + text.size(), mark.failedPage);
    if (failed != std::errc() || mark.failedPage < 1) return std::nullopt;
    at = error + kErrorKey.size();
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at >= text.size() || text[at] != '(') return std::nullopt;
    // A PostScript error name: letters only, as the converter writes it.
    for (++at; at < text.size() && std::isalpha(static_cast<unsigned char>(text[at])); ++at)
        mark.error.push_back(text[at]);
    if (mark.error.empty()) return std::nullopt;
    return mark;
}

}  // namespace vorrel
