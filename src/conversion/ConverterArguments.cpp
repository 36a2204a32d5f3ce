#include "conversion/ConverterArguments.h"

namespace vorrel {

std::string outputPathArgument(const std::filesystem::path& path) {
    std::string escaped;
    for (const char c : std::filesystem::absolute(path).string()) {
        escaped.push_back(c);
        if (c == '%') escaped.push_back('%');
    }
    return escaped;
}

std::vector<std::string> opaquePngArguments() {
    return {"-q",           "-dSAFER",           "-dBATCH",
            "-dNOPAUSE",    "-sDEVICE=png16m",   "-dTextAlphaBits=4",
            "-dGraphicsAlphaBits=4"};
}

}  // namespace vorrel
