// preview_bench [MB] — what a preview of an already converted file costs.
//
// 1. Cached preview against a bare hash: vorrel-quicklook --headless on an EPS file of MB
//    megabytes (default 256) whose conversion is cached, against `openssl dgst -sha256` of
//    the same file; both include their process start-up, which a tiny file measures.
//    Target: preview <= 1.2 × openssl + start-up.
// 2. Time to first paint: vorrel-quicklook --quit-after-paint on the cached sample, from
//    launch to exit (an upper bound: it includes shutting down). Needs a display: run the
//    bench under `xvfb-run -a`. Target: < 300 ms.
// Each figure is the median of several runs, as wall time and as the child's CPU time (user +
// system), which a busy machine distorts far less. Files live in a temporary home that is removed.
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
#include <fstream>
#include <string>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

const fs::path kQuickLook = fs::path(VORREL_PREFIX_DIR) / "bin/vorrel-quicklook";
const fs::path kSample = fs::path(VORREL_SOURCE_DIR) / "resources/samples/vorrel-sample.eps";

struct Cost {
    double wall = -1;  // negative: the command failed
    double cpu = 0;
};

// Runs the command with standard output and error thrown away.
Cost timed(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& item : command) argv.push_back(const_cast<char*>(item.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return {};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {elapsed.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

Cost median(const std::vector<std::string>& command, int runs) {
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i < runs; ++i) {
        const Cost cost = timed(command);
        if (cost.wall < 0) return {};
        walls.push_back(cost.wall);
        cpus.push_back(cost.cpu);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

void report(const char* what, Cost large, Cost tiny, const char* unitNote) {
    std::printf("%-28s wall %.3f s (tiny file %.3f s), cpu %.3f s (tiny file %.3f s)%s\n", what,
                large.wall, tiny.wall, large.cpu, tiny.cpu, unitNote);
}

// The sample drawing followed by comment lines up to `bytes`: Ghostscript skips them, the
// hash has to read them all.
void writeLargeEps(const fs::path& path, std::size_t bytes) {
    std::ifstream sample(kSample, std::ios::binary);
    std::string drawing((std::istreambuf_iterator<char>(sample)), std::istreambuf_iterator<char>());
    drawing.resize(drawing.rfind("%%EOF"));
    std::ofstream out(path, std::ios::binary);
    out << drawing;
    const std::string line = "%" + std::string(98, 'x') + "\n";
    for (std::size_t written = drawing.size(); written < bytes; written += line.size()) out << line;
    out << "%%EOF\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    std::string pattern = (fs::temp_directory_path() / "vorrel-preview-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path home = pattern;
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);

    const fs::path large = home / "large.eps";
    const fs::path tiny = home / "tiny.eps";
    writeLargeEps(large, megabytes << 20);
    fs::copy_file(kSample, tiny);
    const std::vector<std::string> previewLarge{kQuickLook.string(), "--headless", large.string()};
    const std::vector<std::string> previewTiny{kQuickLook.string(), "--headless", tiny.string()};
    const std::vector<std::string> hashLarge{"openssl", "dgst", "-sha256", large.string()};
    const std::vector<std::string> hashTiny{"openssl", "dgst", "-sha256", tiny.string()};
    if (timed(previewLarge).wall < 0 || timed(previewTiny).wall < 0) {  // fills the cache
        std::fprintf(stderr, "preview_bench: the first previews failed\n");
        return 1;
    }
    timed(hashLarge);  // warm the page cache

    const int runs = 5;
    const Cost preview = median(previewLarge, runs);
    const Cost startup = median(previewTiny, runs);
    const Cost hash = median(hashLarge, runs);
    const Cost hashStartup = median(hashTiny, runs);
    std::printf("file: %zu MB, cached\n", megabytes);
    report("vorrel-quicklook --headless", preview, startup, "");
    report("openssl dgst -sha256", hash, hashStartup, "");
    std::printf("wall: preview / (1.2 x openssl + preview start-up) = %.2f (target <= 1)\n",
                preview.wall / (1.2 * hash.wall + startup.wall));
    std::printf("cpu:  preview / (1.2 x openssl + preview start-up) = %.2f (target <= 1)\n",
                preview.cpu / (1.2 * hash.cpu + startup.cpu));

    if (std::getenv("DISPLAY")) {
        const Cost paint = median({kQuickLook.string(), "--quit-after-paint", tiny.string()}, 9);
        std::printf("start to first painted preview (to exit), cached: wall %.0f ms, cpu %.0f ms "
                    "(target < 300 ms)\n", paint.wall * 1000, paint.cpu * 1000);
    } else {
        std::printf("no display: run under `xvfb-run -a` for the time to first paint\n");
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return 0;
}
