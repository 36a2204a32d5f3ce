#pragma once
// The thumbnailer's command line, read without Qt: a file manager starts the program once per
// thumbnail, so it links nothing it does not need (loading QtCore alone costs more than the
// rest of the program's own start).
//
//   vorrel-thumbnailer [--verbose] -s SIZE INPUT OUTPUT
//   -s SIZE, -sSIZE, --size SIZE, --size=SIZE; "--" ends the options
//   -h, --help      the usage on standard output, status 0 (wins over any mistake beside it)
//   -v, --version   "vorrel-thumbnailer VERSION (build BUILD)" on standard output, status 0
//   a usage error   "vorrel-thumbnailer: REASON" and a pointer to --help on standard error,
//                   status 2: an unknown option, -s without its value, no size, a size that
//                   is not a whole number within [Thumbnail::kMinimumSize, kMaximumSize], or
//                   not exactly two files.
// The answers and their wording match the other programs' (platform/cli/CommandLine.h).
//
// Thread-safety: a plain function; call it from main().

#include <cstdio>
#include <filesystem>
#include <variant>

namespace vorrel {

struct ThumbnailerArguments {
    int size = 0;
    std::filesystem::path input;
    std::filesystem::path output;
    bool verbose = false;
};

// The arguments to go on with, or the exit status once the command line has been answered.
std::variant<ThumbnailerArguments, int> parseThumbnailerArguments(int argc, char* argv[],
                                                                  std::FILE* out = stdout,
                                                                  std::FILE* err = stderr);

}  // namespace vorrel
