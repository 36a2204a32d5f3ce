#pragma once
// What the benchmark programs share: the cost of a piece of work in wall time and processor
// time (this process and its reaped children; on a busy machine the processor time says more
// than the wall time), medians, and a program started directly and waited for.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace vorrel::bench {

// The stream the results go to: the original standard output. Standard output itself then
// goes to /dev/null, so the children measured (and their banners) write nowhere.
inline FILE* reportStream() {
    FILE* report = fdopen(fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3), "w");
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(null, STDOUT_FILENO);
    close(null);
    return report;
}

struct Cost {
    double wall = 0, cpu = 0;  // seconds
};

inline double cpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

inline Cost measure(const std::function<void()>& work) {
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            cpuSeconds() - cpuStart};
}

inline double median(std::vector<Cost> values, double Cost::*field) {
    std::sort(values.begin(), values.end(),
              [field](const Cost& a, const Cost& b) { return a.*field < b.*field; });
    return values[values.size() / 2].*field;
}

// Starts `program` with `arguments` (posix_spawn, the same environment and streams) and waits
// for it; ends the benchmark when it cannot start or does not exit with 0.
inline void spawnAndWait(const std::filesystem::path& program, std::vector<std::string> arguments) {
    std::vector<char*> argv;
    std::string name = program.string();
    argv.push_back(name.data());
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, name.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", name.c_str());
        std::exit(1);
    }
}

}  // namespace vorrel::bench
