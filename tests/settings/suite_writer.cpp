// Writes <count> keys "<prefix>-<i>" = i into the suite <name>, one write per key, for the
// multi-process tests of Suite. The environment (XDG_CONFIG_HOME) comes from the test.
// With --without-dac-override the process first gives up the power to override file
// permissions (which root has), so permissions apply to it as to any user. Exits with 3
// when a write was not stored.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "settings/Suite.h"

namespace {

bool dropDacOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective &= ~mask;
    data[0].permitted &= ~mask;
    return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5 || (argc == 5 && std::string(argv[4]) != "--without-dac-override")) {
        std::cerr << "usage: suite_writer NAME PREFIX COUNT [--without-dac-override]\n";
        return 2;
    }
    if (argc == 5 && !dropDacOverride()) return 4;
    auto suite = vorrel::platform::Suite::open(argv[1]);
    const std::string prefix = argv[2];
    const long count = std::strtol(argv[3], nullptr, 10);
    bool refused = false;
    for (long i = 0; i < count; ++i)
        if (suite->setObject(vorrel::platform::Value(std::int64_t{i}), prefix + "-" + std::to_string(i)))
            refused = true;
    return refused ? 3 : 0;
}
