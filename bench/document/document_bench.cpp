// Measures what the guarded run adds to Ghostscript for PostScript documents, on two documents
// written here: 300 pages of text and vector drawings, and 20 pages each holding a computed
// colour image.
//  - full PDF: GhostScript(document, PDF).run() in this process (cache emptied before each run:
//    the kind and key read by the constructor, the staging with its hash, the confined
//    converter, the check, sync and move into the cache) against bare
//    Ghostscript started with the same arguments (GhostScript::documentArguments());
//  - thumbnail: vorrel-thumbnailer -s 256 started as a file manager starts it, against bare
//    Ghostscript drawing the same first page with the same arguments.
// The two alternate within a round (who goes first alternates by round); the medians of the
// rounds are compared, and their least values, wall time and processor time (this process and
// its children). Targets:
// the PDF within 5 %, the thumbnail within 10 %.
//
// Usage: document_bench [rounds]   (default 5, after one round that warms the caches up).
// Children write to /dev/null; the table goes to standard output. Needs the tests' support
// library (VORREL_BUILD_TESTS=ON or the release preset's benchmarks).

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Documents.h"
#include "Measure.h"
#include "conversion/GhostScript.h"
#include "cache/PreviewFiles.h"
#include "support/TempHome.h"
#include "thumbnailer/Thumbnail.h"

namespace {

namespace fs = std::filesystem;
using vorrel::bench::Cost;
using vorrel::bench::measure;
using vorrel::bench::median;
using vorrel::bench::spawnAndWait;

const fs::path kPrefix = VORREL_PREFIX_DIR;
const fs::path kThumbnailer = kPrefix / "bin" / "vorrel-thumbnailer";
const fs::path kConverter = kPrefix / "libexec" / "vorrel" / "converter";

double minimum(const std::vector<Cost>& values, double Cost::*field) {
    double least = values.front().*field;
    for (const Cost& value : values) least = std::min(least, value.*field);
    return least;
}

// Medians, and the least of the rounds: on a loaded machine the least disturbed round says more.
void row(FILE* report, const char* what, const std::vector<Cost>& ours,
         const std::vector<Cost>& bare) {
    for (const auto& [name, field] : {std::pair{"wall", &Cost::wall}, std::pair{"cpu", &Cost::cpu}}) {
        const double a = median(ours, field), b = median(bare, field);
        const double leastA = minimum(ours, field), leastB = minimum(bare, field);
        std::fprintf(report, "%-34s %-5s %10.1f %10.1f %8.3f %10.1f %10.1f %8.3f\n", what, name,
                     a * 1e3, b * 1e3, a / b, leastA * 1e3, leastB * 1e3, leastA / leastB);
    }
}

// Runs `ours` and `bare` alternately for 1 + rounds rounds; the first round is not counted.
void compare(FILE* report, const char* what, int rounds, const std::function<void()>& ours,
             const std::function<void()>& bare) {
    std::vector<Cost> oursCosts, bareCosts;
    for (int round = 0; round <= rounds; ++round) {
        Cost first, second;
        if (round % 2 == 0) {
            first = measure(ours);
            second = measure(bare);
        } else {
            second = measure(bare);
            first = measure(ours);
        }
        if (round > 0) {
            oursCosts.push_back(first);
            bareCosts.push_back(second);
        }
    }
    row(report, what, oursCosts, bareCosts);
}

int run(int rounds, FILE* report) {
    vorrel::test::TempHome home;
    // This program is not in the prefix: the conversions use the prefix's converter.
    const vorrel::GhostScript::TestOverride converter(kConverter);
    std::fprintf(report,
                 "%d rounds, milliseconds\n%-34s %-5s %10s %10s %8s %10s %10s %8s\n", rounds, "",
                 "", "ours", "bare gs", "ratio", "ours min", "bare min", "ratio");
    for (const auto& document : vorrel::bench::benchDocuments()) {
        const fs::path source = home.write(std::string(document.name) + ".ps", document.content);
        const fs::path barePdf = home.root() / "bare.pdf";
        compare(
            report, (std::string(document.name) + ", PDF").c_str(), rounds,
            [&] {
                // As a preview does: the kind and the key (a hash of the file), then the run.
                const vorrel::GhostScript conversion(source, vorrel::OutputFormat::PDF, 200);
                fs::remove(conversion.outputFileURL);
                conversion.run();
            },
            [&] {
                spawnAndWait(kConverter,
                             vorrel::GhostScript::documentArguments(barePdf, source));
            });
        const fs::path ours = home.root() / "ours.png", bare = home.root() / "bare.png";
        compare(
            report, (std::string(document.name) + ", thumbnail").c_str(), rounds,
            [&] { spawnAndWait(kThumbnailer, {"-s", "256", source.string(), ours.string()}); },
            [&] { spawnAndWait(kConverter, vorrel::Thumbnail(source, 256).arguments(bare)); });
    }
    std::fclose(report);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    FILE* report = vorrel::bench::reportStream();
    try {
        return run(rounds, report);
    } catch (const std::exception& error) {
        std::fprintf(report, "document_bench: %s\n", error.what());
        return 1;
    }
}
