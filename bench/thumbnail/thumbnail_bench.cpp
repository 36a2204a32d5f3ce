// Measures what vorrel-thumbnailer adds to Ghostscript: 50 EPS files thumbnailed at size 256, one
// after another, by the program started as a file manager starts it (a process per file: its own
// start, the header read, the private folder beside the output, the converter's guard, the
// rename) against bare Ghostscript started directly with the same arguments
// (Thumbnail::arguments(): the same crop at the same resolution) writing the same PNGs.
// Within a round the two alternate file by file (who goes first alternates by round); the
// medians over the rounds of the 50-file totals are compared, of wall time and of processor
// time (this process and its children). The target: within 10 %.
//
// Usage: thumbnail_bench [rounds]   (default 5, after one round that warms the caches up).
// Children write to /dev/null; the table goes to standard output. Needs the tests' support
// library (VORREL_BUILD_TESTS=ON or the release preset's benchmarks).

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Measure.h"
#include "support/Eps.h"
#include "support/TempHome.h"
#include "thumbnailer/Thumbnail.h"

namespace {

namespace fs = std::filesystem;
using vorrel::Thumbnail;
using vorrel::bench::Cost;
using vorrel::bench::measure;
using vorrel::bench::median;
using vorrel::bench::spawnAndWait;

const fs::path kPrefix = VORREL_PREFIX_DIR;
const fs::path kThumbnailer = kPrefix / "bin" / "vorrel-thumbnailer";
const fs::path kConverter = kPrefix / "libexec" / "vorrel" / "converter";
constexpr int kFiles = 50;
constexpr int kSize = 256;

// Fifty different files of five kinds: text, line art, an inline image, a 50 KB drawing and
// corner squares on a box with a negative origin.
std::string document(int number) {
    namespace eps = vorrel::test::eps;
    std::string content;
    switch (number % 5) {
        case 0:
            content = eps::text();
            break;
        case 1:
            content = eps::lineArt();
            break;
        case 2:
            content = eps::embeddedImage();
            break;
        case 3:
            content = eps::ofSize(50'000);
            break;
        default:
            content = "%!PS-Adobe-3.0\n%%BoundingBox: -40 -43 41 43\n" +
                      eps::cornerSquares(-40, -43, 41, 43) + "showpage\n";
    }
    return content + "% file " + std::to_string(number) + "\n";
}

int compare(int rounds, FILE* report) {
    vorrel::test::TempHome home;
    std::vector<fs::path> sources;
    for (int i = 0; i < kFiles; ++i)
        sources.push_back(home.write("documents/file " + std::to_string(i) + ".eps", document(i)));
    fs::create_directories(home.root() / "ours");
    fs::create_directories(home.root() / "bare");

    std::vector<Cost> ours, bare;
    for (int round = 0; round <= rounds; ++round) {
        Cost oursTotal, bareTotal;
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = std::to_string(i) + ".png";
            const auto program = [&] {
                spawnAndWait(kThumbnailer, {"-s", std::to_string(kSize), sources[i].string(),
                                            (home.root() / "ours" / name).string()});
            };
            const auto ghostscript = [&] {
                spawnAndWait(kConverter,
                             Thumbnail(sources[i], kSize).arguments(home.root() / "bare" / name));
            };
            Cost first, second;
            if (round % 2 == 0) {
                first = measure(program);
                second = measure(ghostscript);
            } else {
                second = measure(ghostscript);
                first = measure(program);
            }
            oursTotal.wall += first.wall;
            oursTotal.cpu += first.cpu;
            bareTotal.wall += second.wall;
            bareTotal.cpu += second.cpu;
        }
        if (round > 0) {
            ours.push_back(oursTotal);
            bare.push_back(bareTotal);
        }
    }
    const double wall[2] = {median(ours, &Cost::wall), median(bare, &Cost::wall)};
    const double cpu[2] = {median(ours, &Cost::cpu), median(bare, &Cost::cpu)};
    std::fprintf(report, "%d files at size %d, median of %d rounds\n", kFiles, kSize, rounds);
    std::fprintf(report, "%-6s %14s %14s %8s %14s\n", "", "thumbnailer", "bare gs", "ratio",
                 "per file +ms");
    std::fprintf(report, "%-6s %14.1f %14.1f %8.3f %14.2f\n", "wall", wall[0] * 1e3, wall[1] * 1e3,
                 wall[0] / wall[1], (wall[0] - wall[1]) * 1e3 / kFiles);
    std::fprintf(report, "%-6s %14.1f %14.1f %8.3f %14.2f\n", "cpu", cpu[0] * 1e3, cpu[1] * 1e3,
                 cpu[0] / cpu[1], (cpu[0] - cpu[1]) * 1e3 / kFiles);
    std::fclose(report);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    FILE* report = vorrel::bench::reportStream();
    try {
        return compare(rounds, report);
    } catch (const std::exception& error) {
        std::fprintf(report, "thumbnail_bench: %s\n", error.what());
        return 1;
    }
}
