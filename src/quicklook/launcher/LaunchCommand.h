#pragma once
// fileToStartOn(arguments): the file that a command line of vorrel-quicklook (its arguments,
// without the program's name) asks to preview first, when the converter may start on it before
// the service is loaded: the first FILE of a preview in a window, headless, with a snapshot or
// with an export. Nothing for --help, --version or --nemo-previewer, for any option the
// service does not know (Qt's own included: the service answers them), or without a file. The
// service reads the command line again, whole; this only decides whether to start early.
//
// Thread-safety: a plain function.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorrel::quicklook {

std::optional<std::filesystem::path> fileToStartOn(const std::vector<std::string>& arguments);

}  // namespace vorrel::quicklook
