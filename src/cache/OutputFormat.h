#pragma once
// The format a converted file is written in.

#include <string_view>

namespace vorrel {

enum class OutputFormat { PDF = 0, PNG = 1 };

// "pdf" or "png": the converted file's extension.
constexpr std::string_view fileExtension(OutputFormat format) {
    return format == OutputFormat::PNG ? "png" : "pdf";
}

// "PDF" or "PNG": the word used in log messages.
constexpr std::string_view logWord(OutputFormat format) {
    return format == OutputFormat::PNG ? "PNG" : "PDF";
}

}  // namespace vorrel
