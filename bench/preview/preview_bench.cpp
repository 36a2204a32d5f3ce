// preview_bench [MB] — what a preview of an already converted file costs.
//
// 1. Cached preview against a bare hash: vorrel-quicklook --headless on an EPS file of MB
//    megabytes (default 256) whose conversion is cached, against `openssl dgst -sha256` of
//    the same file; both include their process start-up, which a tiny file measures.
//    Target: preview <= 1.2 × openssl + start-up.
// 2. Time to first paint: vorrel-quicklook --quit-after-paint on the cached sample, from
//    launch to exit (an upper bound: it includes shutting down). Needs a display: run the
//    bench under `xvfb-run -a`. Target: < 300 ms.
// Each figure is the median of several runs. Files live in a temporary home that is removed.
#include <fcntl.h>
#include <spawn.h>
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

// Runs the command with standard output and error thrown away; seconds of wall time, or a
// negative number when it failed.
double timed(const std::vector<std::string>& command) {
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
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed.count() : -1;
}

double median(const std::vector<std::string>& command, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t = timed(command);
        if (t < 0) return -1;
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
    if (timed(previewLarge) < 0 || timed(previewTiny) < 0) {  // converts, fills the cache
        std::fprintf(stderr, "preview_bench: the first previews failed\n");
        return 1;
    }
    timed(hashLarge);  // warm the page cache

    const int runs = 5;
    const double preview = median(previewLarge, runs);
    const double startup = median(previewTiny, runs);
    const double hash = median(hashLarge, runs);
    const double hashStartup = median(hashTiny, runs);
    std::printf("cached preview of %zu MB: %.3f s (start-up, tiny file: %.3f s)\n", megabytes,
                preview, startup);
    std::printf("openssl dgst -sha256:     %.3f s (start-up, tiny file: %.3f s)\n", hash,
                hashStartup);
    std::printf("preview / (1.2 x openssl + preview start-up) = %.2f (target <= 1)\n",
                preview / (1.2 * hash + startup));
    std::printf("work only: preview %.3f s, openssl %.3f s, ratio %.2f (target <= 1.2)\n",
                preview - startup, hash - hashStartup, (preview - startup) / (hash - hashStartup));

    if (std::getenv("DISPLAY")) {
        const double paint =
            median({kQuickLook.string(), "--quit-after-paint", tiny.string()}, 9);
        std::printf("start to first painted preview (to exit), cached: %.0f ms (target < 300 ms)\n",
                    paint * 1000);
    } else {
        std::printf("no display: run under `xvfb-run -a` for the time to first paint\n");
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return 0;
}
