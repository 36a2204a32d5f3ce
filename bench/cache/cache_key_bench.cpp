// cache_key_bench [SIZE_MIB]: how fast the converted-file cache key is computed.
//
// 1. Writes a test file of SIZE_MIB (default 1024) in the temporary folder and reads it
//    once, so every measurement below runs on a warm page cache.
// 2. Best of three: sha256Hex(file), cachedFileURL(file, PNG, 200) with an empty key index
//    (a first look: the file is hashed) and `openssl dgst -sha256 file`; prints MB/s and our
//    share of openssl's speed.
// 3. The warm look: once the file is older than the timestamp granularity and its key is in
//    the index, GhostScript(file, PNG, 200).run() with the converted file in place, against
//    openssl (target: at most 0.2 times, i.e. the file is not read).
// 4. Peak memory: runs itself again as `--key FILE` in a fresh process that computes the
//    key once and reports VmHWM; the same without the hashing gives the baseline.
// The test file is removed at the end.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Bundle.h"
#include "platform/Sha256.h"
#include "conversion/GhostScript.h"
#include "cache/PreviewFiles.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

void useTemporaryContainer(const fs::path& folder) {
    setenv("XDG_CACHE_HOME", folder.c_str(), 1);
    vorrel::platform::Bundle::setMain(vorrel::platform::Bundle(vorrel::platform::extensionInfoDictionary()));
}

int keyOnce(const fs::path& file, bool hash) {
    useTemporaryContainer(file.parent_path() / "cache");
    if (hash) std::cout << vorrel::cachedFileURL(file, vorrel::OutputFormat::PNG, 200).filename().string() << '\n';
    std::cout << "VmHWM " << peakResidentKiB() << '\n';
    return 0;
}

int run(std::vector<std::string> arguments, const char* output = "/dev/null") {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double bestSeconds(const std::function<void()>& work) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

long childPeak(const fs::path& self, const fs::path& file, const char* mode, const fs::path& report) {
    if (run({self.string(), mode, file.string()}, report.c_str()) != 0) return -1;
    std::ifstream in(report);
    std::string word;
    long value = -1;
    while (in >> word)
        if (word == "VmHWM") in >> value;
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--key") return keyOnce(argv[2], true);
    if (argc == 3 && std::string(argv[1]) == "--baseline") return keyOnce(argv[2], false);

    const long mebibytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1024;
    const fs::path folder = fs::temp_directory_path() / ("vorrel-cache-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "input.eps";
    {
        std::ofstream out(file, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        std::mt19937_64 random(42);
        for (long i = 0; i < mebibytes; ++i) {
            for (std::size_t j = 0; j < chunk.size(); j += 8) {
                const auto word = random();
                std::memcpy(chunk.data() + j, &word, 8);
            }
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
    }
    const double megabytes = static_cast<double>(mebibytes) * 1048576.0 / 1e6;
    useTemporaryContainer(folder / "cache");
    (void)vorrel::platform::sha256Hex(file);  // warm the page cache

    const double ours = bestSeconds([&] { (void)vorrel::platform::sha256Hex(file); });
    const double keyed = bestSeconds([&] {
        vorrel::removeKeyIndex();
        (void)vorrel::cachedFileURL(file, vorrel::OutputFormat::PNG, 200);
    });
    const double reference = bestSeconds([&] {
        if (run({"openssl", "dgst", "-sha256", file.string()}) != 0) std::cerr << "openssl failed\n";
    });

    // The warm look: the file has not changed since it was keyed, well past the granularity.
    std::this_thread::sleep_for(std::chrono::nanoseconds(vorrel::kTimestampGranularityNs) +
                                std::chrono::milliseconds(100));
    const fs::path converted = vorrel::cachedFileURL(file, vorrel::OutputFormat::PNG, 200);
    std::ofstream(converted, std::ios::binary)
        << std::string_view("\x89PNG\r\n\x1a\n\0\0\0\0IEND\xae\x42\x60\x82", 20);
    const double look = bestSeconds([&] {
        (void)vorrel::GhostScript(file, vorrel::OutputFormat::PNG, 200).run();
    });

    const fs::path self = fs::read_symlink("/proc/self/exe");
    const long keyPeak = childPeak(self, file, "--key", folder / "key.txt");
    const long basePeak = childPeak(self, file, "--baseline", folder / "base.txt");

    std::printf("file: %ld MiB, warm page cache, best of 3\n", mebibytes);
    std::printf("sha256Hex            %8.1f MB/s\n", megabytes / ours);
    std::printf("cachedFileURL        %8.1f MB/s\n", megabytes / keyed);
    std::printf("openssl dgst -sha256 %8.1f MB/s\n", megabytes / reference);
    std::printf("cachedFileURL / openssl: %.1f %% (target >= 90 %%)\n", 100.0 * reference / keyed);
    std::printf("warm look            %8.3f ms, %.4f x openssl (target <= 0.2 x)\n", look * 1e3,
                look / reference);
    std::printf("peak RSS keying the file: %.1f MB (process baseline %.1f MB, target < 32 MB)\n",
                keyPeak / 1024.0, basePeak / 1024.0);

    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
