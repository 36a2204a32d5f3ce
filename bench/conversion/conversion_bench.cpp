// Measures what GhostScript adds to a Ghostscript run, and what a cache hit costs.
//
//   cold:   GhostScript(file, format, 200).run() with an empty cache (hashing the source,
//           slot, private TMPDIR, spawn, wait, move) against the same gs command started
//           directly with posix_spawn and waitpid. Runs alternate, medians are compared, of
//           wall time and of processor time (this process and its children).
//   crop:   the gs command with arguments() (cropped to the file's box) against the same command
//           with plainArguments(), started directly; runs alternate, medians are compared.
//   guard:  the same cold run() confined (rlimits, Landlock, seccomp) against unconfined
//           (GhostScript::TestOverride::unconfined()), alternating, medians and their
//           difference in milliseconds; and the fixed cost alone: /bin/true launched and
//           reaped through ChildProcess with the converter's sandbox and without, 200 times.
//   copy:   the private copy of the input a cold run makes (copied while hashed) against the
//           cold run: the cold run with the copy against the same run without it.
//   cached: GhostScript(file, format, 200).run() with the converted file present (key index
//           look-up or hash, and the completeness check) against `openssl dgst -sha256 file`.
//
// Usage: conversion_bench [rounds]   (default 7). Children write to /dev/null; the table goes
// to standard output. Needs the tests' support library (VORREL_BUILD_TESTS=ON).

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Measure.h"
#include "logbook/Logbook.h"
#include "platform/ChildProcess.h"
#include "platform/FileCopy.h"
#include "platform/Sha256.h"
#include "conversion/ConverterPolicy.h"
#include "conversion/GhostScript.h"
#include "cache/PreviewFiles.h"
#include "support/Eps.h"
#include "support/TempHome.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vorrel::GhostScript;
using vorrel::OutputFormat;
using vorrel::bench::Cost;
using vorrel::bench::measure;
using vorrel::bench::median;
using vorrel::bench::spawnAndWait;

const fs::path kConverter = fs::path(VORREL_PREFIX_DIR) / "libexec" / "vorrel" / "converter";

}  // namespace

int compare(int rounds, FILE* report);

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    FILE* report = vorrel::bench::reportStream();
    try {
        return compare(rounds, report);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "conversion_bench: %s\n", error.what());
        return 1;
    }
}

int compare(int rounds, FILE* report) {
    // The conversion code logs failures only; keep the console destination quiet anyway.
    vorrel::Logbook::defaultInstance().setOutputLevel(vorrel::LogLevel::none);

    vorrel::test::TempHome home;
    GhostScript::TestOverride converter(kConverter);
    const struct Document {
        const char* name;
        std::string content;
    } documents[] = {
        {"text", vorrel::test::eps::text()},
        {"100 KB", vorrel::test::eps::ofSize(100'000)},
        {"1 MB", vorrel::test::eps::ofSize(1'000'000)},
    };

    std::fprintf(report, "%-8s %-4s %8s %10s %10s %7s %10s %10s %7s\n", "file", "fmt", "bytes",
                 "run() ms", "bare ms", "ratio", "run() cpu", "bare cpu", "ratio");
    for (const auto& document : documents) {
        const fs::path source = home.write(std::string(document.name) + ".eps", document.content);
        for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
            std::vector<Cost> ours, bare;
            const fs::path bareOutput =
                home.root() / ("bare." + std::string(fileExtension(format)));
            for (int round = 0; round <= rounds; ++round) {  // round 0 warms the caches up
                const GhostScript probe(source, format, 200);
                fs::remove(probe.outputFileURL);
                const Cost oursTime = measure([&] { GhostScript(source, format, 200).run(); });
                const Cost bareTime =
                    measure([&] { spawnAndWait(kConverter, probe.arguments(bareOutput)); });
                if (round > 0) {
                    ours.push_back(oursTime);
                    bare.push_back(bareTime);
                }
            }
            const double wall[2] = {median(ours, &Cost::wall), median(bare, &Cost::wall)};
            const double cpu[2] = {median(ours, &Cost::cpu), median(bare, &Cost::cpu)};
            std::fprintf(report, "%-8s %-4s %8zu %10.1f %10.1f %7.3f %10.1f %10.1f %7.3f\n",
                         document.name, std::string(vorrel::logWord(format)).c_str(),
                         document.content.size(), wall[0] * 1e3, wall[1] * 1e3, wall[0] / wall[1],
                         cpu[0] * 1e3, cpu[1] * 1e3, cpu[0] / cpu[1]);
            std::fflush(report);
        }
    }

    // The private copy of the input each cold run now makes (copied while hashed): its share
    // of the cold run, i.e. the cold run with the copy against the same run without it.
    std::fprintf(report, "\n%-8s %8s %10s %10s %14s\n", "file", "bytes", "copy ms", "cold ms",
                 "with/without");
    for (const auto& document : documents) {
        const fs::path source = home.root() / (std::string(document.name) + ".eps");
        const fs::path copy = home.root() / "staged-copy";
        std::vector<Cost> copies, colds;
        for (int round = 0; round <= rounds; ++round) {
            const Cost copyTime = measure([&] {
                vorrel::platform::Sha256 hash;
                vorrel::platform::copyFileOnce(
                    source, copy, [&](std::span<const std::uint8_t> bytes) { hash.update(bytes); });
                (void)hash.hexDigest();
            });
            fs::remove(copy);
            const GhostScript probe(source, OutputFormat::PDF, 200);
            fs::remove(probe.outputFileURL);
            const Cost coldTime =
                measure([&] { GhostScript(source, OutputFormat::PDF, 200).run(); });
            if (round > 0) {
                copies.push_back(copyTime);
                colds.push_back(coldTime);
            }
        }
        const double copied = median(copies, &Cost::wall), cold = median(colds, &Cost::wall);
        std::fprintf(report, "%-8s %8zu %10.3f %10.1f %14.4f\n", document.name,
                     document.content.size(), copied * 1e3, cold * 1e3, cold / (cold - copied));
    }

    std::fprintf(report, "\n%-8s %-4s %10s %10s %7s %10s %10s %7s\n", "file", "fmt", "crop ms",
                 "plain ms", "ratio", "crop cpu", "plain cpu", "ratio");
    for (const auto& document : documents) {
        const fs::path source = home.root() / (std::string(document.name) + ".eps");
        for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
            const GhostScript probe(source, format, 200);
            const fs::path output = home.root() / ("out." + std::string(fileExtension(format)));
            std::vector<Cost> crop, plain;
            for (int round = 0; round <= rounds; ++round) {
                const Cost cropTime =
                    measure([&] { spawnAndWait(kConverter, probe.arguments(output)); });
                const Cost plainTime =
                    measure([&] { spawnAndWait(kConverter, probe.plainArguments(output)); });
                if (round > 0) {
                    crop.push_back(cropTime);
                    plain.push_back(plainTime);
                }
            }
            const double wall[2] = {median(crop, &Cost::wall), median(plain, &Cost::wall)};
            const double cpu[2] = {median(crop, &Cost::cpu), median(plain, &Cost::cpu)};
            std::fprintf(report, "%-8s %-4s %10.1f %10.1f %7.3f %10.1f %10.1f %7.3f\n",
                         document.name, std::string(vorrel::logWord(format)).c_str(), wall[0] * 1e3,
                         wall[1] * 1e3, wall[0] / wall[1], cpu[0] * 1e3, cpu[1] * 1e3,
                         cpu[0] / cpu[1]);
            std::fflush(report);
        }
    }

    std::fprintf(report, "\n%-8s %-4s %12s %12s %8s %7s %12s %12s\n", "file", "fmt", "confined ms",
                 "open ms", "diff ms", "ratio", "confined cpu", "open cpu");
    for (const auto& document : documents) {
        const fs::path source = home.root() / (std::string(document.name) + ".eps");
        for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
            std::vector<Cost> confined, open;
            for (int round = 0; round <= rounds; ++round) {
                const GhostScript probe(source, format, 200);
                fs::remove(probe.outputFileURL);
                const Cost guarded = measure([&] { GhostScript(source, format, 200).run(); });
                fs::remove(probe.outputFileURL);
                Cost unguarded;
                {
                    GhostScript::TestOverride withoutGuard(kConverter);
                    withoutGuard.unconfined();
                    unguarded = measure([&] { GhostScript(source, format, 200).run(); });
                }
                if (round > 0) {
                    confined.push_back(guarded);
                    open.push_back(unguarded);
                }
            }
            const double wall[2] = {median(confined, &Cost::wall), median(open, &Cost::wall)};
            const double cpu[2] = {median(confined, &Cost::cpu), median(open, &Cost::cpu)};
            std::fprintf(report, "%-8s %-4s %12.1f %12.1f %8.1f %7.3f %12.1f %12.1f\n",
                         document.name, std::string(vorrel::logWord(format)).c_str(), wall[0] * 1e3,
                         wall[1] * 1e3, (wall[0] - wall[1]) * 1e3, wall[0] / wall[1], cpu[0] * 1e3,
                         cpu[1] * 1e3);
            std::fflush(report);
        }
    }

    {
        const fs::path source = home.root() / "text.eps";
        const fs::path output = home.write("launch-output", "");
        std::vector<Cost> confined, open;
        for (int round = 0; round < 200; ++round) {
            for (bool guarded : {true, false}) {
                const Cost cost = measure([&] {
                    vorrel::platform::ChildProcess child("/bin/true", {});
                    if (guarded)
                        child.confine(vorrel::ConverterPolicy::sandbox("/bin/true", source, output,
                                                                       home.root(), 62s));
                    child.launch();
                    child.wait();
                });
                (guarded ? confined : open).push_back(cost);
            }
        }
        std::fprintf(report, "\n%-24s %12s %12s %8s\n", "launch of /bin/true", "confined ms",
                     "open ms", "diff ms");
        const double wall[2] = {median(confined, &Cost::wall), median(open, &Cost::wall)};
        std::fprintf(report, "%-24s %12.3f %12.3f %8.3f\n", "", wall[0] * 1e3, wall[1] * 1e3,
                     (wall[0] - wall[1]) * 1e3);
    }

    std::fprintf(report, "\n%-8s %8s %12s %12s %7s\n", "file", "bytes", "cache hit ms",
                 "openssl ms", "ratio");
    for (const auto& document : documents) {
        const fs::path source = home.root() / (std::string(document.name) + ".eps");
        GhostScript(source, OutputFormat::PDF, 200).run();  // converted: every run() is a hit
        std::vector<Cost> hits, digests;
        for (int round = 0; round < rounds * 5; ++round) {
            hits.push_back(measure([&] { GhostScript(source, OutputFormat::PDF, 200).run(); }));
            digests.push_back(measure([&] {
                spawnAndWait("/usr/bin/openssl", {"dgst", "-sha256", source.string()});
            }));
        }
        const double hit = median(hits, &Cost::wall), digest = median(digests, &Cost::wall);
        std::fprintf(report, "%-8s %8zu %12.3f %12.3f %7.3f\n", document.name,
                     document.content.size(), hit * 1e3, digest * 1e3, hit / digest);
    }
    std::fclose(report);
    return 0;
}
