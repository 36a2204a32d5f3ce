#include "conversion/PaperSize.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace vorrel::platform {

namespace {

struct Known {
    const char* name;
    double width, height;
};

constexpr Known kKnown[] = {
    {"a4", 595, 842},        {"letter", 612, 792},   {"legal", 612, 1008},
    {"a3", 842, 1191},       {"a5", 420, 595},       {"b5", 499, 709},
    {"executive", 522, 756}, {"tabloid", 792, 1224}, {"ledger", 792, 1224},
};

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<std::string> firstWord(std::istream& in) {
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word.front() == '#') continue;
        return lowered(word);
    }
    return std::nullopt;
}

std::optional<std::string> configuredName() {
    if (const char* variable = std::getenv("PAPERSIZE"); variable && *variable) {
        std::istringstream in(variable);
        return firstWord(in);
    }
    const char* file = std::getenv("PAPERCONF");
    std::ifstream in(file && *file ? file : "/etc/papersize");
    return firstWord(in);
}

}  // namespace

PaperSize defaultPaperSize() {
    if (const auto name = configuredName())
        if (auto paper = paperSizeNamed(*name)) return *paper;
    return {kKnown[0].name, kKnown[0].width, kKnown[0].height};
}

std::optional<PaperSize> paperSizeNamed(std::string_view name) {
    const std::string wanted = lowered(std::string(name));
    for (const Known& known : kKnown)
        if (wanted == known.name) return PaperSize{wanted, known.width, known.height};
    return std::nullopt;
}

std::vector<PaperSize> knownPaperSizes() {
    std::vector<PaperSize> papers;
    for (const Known& known : kKnown)
        if (std::string_view(known.name) != "ledger")
            papers.push_back({known.name, known.width, known.height});
    return papers;
}

}  // namespace vorrel::platform
