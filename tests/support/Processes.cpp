#include "support/Processes.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/TempHome.h"

namespace vorrel::test {

namespace fs = std::filesystem;

std::vector<pid_t> processesMentioning(const std::string& text, pid_t except) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string commandLine = readFile(entry.path() / "cmdline");
        std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
        if (commandLine.find(text) == std::string::npos || std::stoll(name) == except) continue;
        const std::string stat = readFile(entry.path() / "stat");
        const auto close = stat.rfind(')');
        const bool zombie =
            close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
        if (zombie) continue;
        found.push_back(std::stoi(name));
    }
    return found;
}

pid_t parentOf(pid_t process) {
    const std::string stat = readFile(fs::path("/proc") / std::to_string(process) / "stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 2));
    char state = 0;
    pid_t parent = 0;
    fields >> state >> parent;
    return parent;
}

}  // namespace vorrel::test
