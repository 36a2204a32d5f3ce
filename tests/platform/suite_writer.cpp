// Writes <count> keys "<prefix>-<i>" = i into the suite <name>, one write per key, for the
// multi-process test of Suite. The environment (XDG_CONFIG_HOME) comes from the test.
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/Suite.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: suite_writer NAME PREFIX COUNT\n";
        return 2;
    }
    auto suite = vorrel::platform::Suite::open(argv[1]);
    const std::string prefix = argv[2];
    const long count = std::strtol(argv[3], nullptr, 10);
    for (long i = 0; i < count; ++i)
        suite->setObject(vorrel::platform::Value(std::int64_t{i}), prefix + "-" + std::to_string(i));
    return 0;
}
