#include "logbook/ConsoleDestination.h"

#include <cstdio>

namespace vorrel {

void ConsoleDestination::write(const std::string& message) {
    // One locked stdio sequence per line, so lines from several threads never mix.
    flockfile(stdout);
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}

}  // namespace vorrel
