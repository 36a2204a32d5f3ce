#include "platform/Fatal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vorrel::platform {

void fatalError(std::string_view text) {
    // One write, so lines of other threads do not cut into the message.
    std::string line = "Fatal error: ";
    line.append(text);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace vorrel::platform
