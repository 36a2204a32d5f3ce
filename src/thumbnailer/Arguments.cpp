#include "thumbnailer/Arguments.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Bundle.h"
#include "thumbnailer/Thumbnail.h"

namespace vorrel {

namespace {

constexpr std::string_view kName = "vorrel-thumbnailer";

std::string helpText() {
    const std::string sizes =
        std::to_string(Thumbnail::kMinimumSize) + " to " + std::to_string(Thumbnail::kMaximumSize);
    return "Usage: vorrel-thumbnailer [options] INPUT OUTPUT\n"
           "Make the thumbnail of an EPS file.\n"
           "\n"
           "Options:\n"
           "  -h, --help         Show this help and exit.\n"
           "  -v, --version      Show the version and exit.\n"
           "  -s, --size <SIZE>  The length of the thumbnail's longer side, in pixels (" +
           sizes +
           ").\n"
           "  --verbose          Print what happens, and Ghostscript's own messages.\n"
           "\n"
           "Arguments:\n"
           "  INPUT              The EPS file.\n"
           "  OUTPUT             The PNG file to write.\n";
}

int usageError(const std::string& reason, std::FILE* err) {
    std::fprintf(err, "%.*s: %s\nTry '%.*s --help' for more information.\n",
                 static_cast<int>(kName.size()), kName.data(), reason.c_str(),
                 static_cast<int>(kName.size()), kName.data());
    return 2;
}

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
    return value;
}

}  // namespace

std::variant<ThumbnailerArguments, int> parseThumbnailerArguments(int argc, char* argv[],
                                                                  std::FILE* out,
                                                                  std::FILE* err) {
    ThumbnailerArguments arguments;
    std::optional<std::string> size;
    std::vector<std::string_view> files;
    std::string mistake;  // the first one; reported unless help or version is asked for
    bool help = false;
    bool version = false;
    bool optionsEnded = false;

    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            files.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "-h" || word == "--help") {
            help = true;
        } else if (word == "-v" || word == "--version") {
            version = true;
        } else if (word == "--verbose") {
            arguments.verbose = true;
        } else if (word == "-s" || word == "--size") {
            if (i + 1 < argc) {
                size = argv[++i];
            } else if (mistake.empty()) {
                mistake = "Missing value after '" + std::string(word) + "'.";
            }
        } else if (word.starts_with("--size=")) {
            size = std::string(word.substr(7));
        } else if (word.starts_with("-s") && word[1] != '-') {
            size = std::string(word.substr(2));
        } else if (mistake.empty()) {
            mistake = "Unknown option '" + std::string(word.substr(word[1] == '-' ? 2 : 1)) + "'.";
        }
    }

    if (help) {
        std::fputs(helpText().c_str(), out);
        return 0;
    }
    if (version) {
        std::fprintf(out, "%.*s %s\n", static_cast<int>(kName.size()), kName.data(),
                     platform::versionText().c_str());
        return 0;
    }
    if (!mistake.empty()) return usageError(mistake, err);
    if (!size) return usageError("no size given (-s SIZE)", err);
    const std::optional<int> pixels = wholeNumber(*size);
    if (!pixels || *pixels < Thumbnail::kMinimumSize || *pixels > Thumbnail::kMaximumSize)
        return usageError("the size must be a whole number from " +
                              std::to_string(Thumbnail::kMinimumSize) + " to " +
                              std::to_string(Thumbnail::kMaximumSize),
                          err);
    if (files.size() != 2) return usageError("give INPUT and OUTPUT", err);
    arguments.size = *pixels;
    arguments.input = std::string(files[0]);
    arguments.output = std::string(files[1]);
    return arguments;
}

}  // namespace vorrel
