// logbook_bench: what logging costs.
//
// - DisabledDebugClosure / DisabledDebugMessage: a debug call below every destination's
//   level (the closure must not run); ns per call.
// - FileLoggingThroughput: debug lines with the extension's file settings through a
//   FileDestination on Logbook::logQueue(), including the wait until they are written;
//   lines/s (items_per_second) and MB/s (bytes_per_second).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "logbook/FileDestination.h"
#include "logbook/Logbook.h"

namespace {

using vorrel::Logbook;

void DisabledDebugClosure(benchmark::State& state) {
    Logbook logbook("bench.disabled", true);
    logbook.setOutputLevel(Logbook::Level::info);
    long runs = 0;
    for (auto _ : state) {
        logbook.debug([&runs] { ++runs; return std::string("never rendered"); });
    }
    if (runs != 0) {
        state.SkipWithError("a disabled closure ran");
    }
}
BENCHMARK(DisabledDebugClosure);

void DisabledDebugMessage(benchmark::State& state) {
    Logbook logbook("bench.disabled", true);
    logbook.setOutputLevel(Logbook::Level::info);
    for (auto _ : state) {
        logbook.debug("never rendered", "run()");
    }
}
BENCHMARK(DisabledDebugMessage);

void FileLoggingThroughput(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("logbook-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto path = folder / "Preview.log";
    std::int64_t bytes = 0;
    {
        Logbook logbook("bench.file", false);
        auto file = std::make_shared<vorrel::FileDestination>(nullptr, path.string(), "file", false);
        file->showLevel = false;
        file->showFileName = false;
        file->showLineNumber = false;
        file->setLogQueue(&Logbook::logQueue());
        logbook.add(file);
        const std::string message = "Converting EPS file /home/user/Documents/figure 12.eps to PDF";
        for (auto _ : state) {
            logbook.debug(message, "preparePreviewOfFile(at:)");
        }
        Logbook::logQueue().drain();  // count the time until every line is in the file
        bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(bytes);
    std::filesystem::remove_all(folder);
}
BENCHMARK(FileLoggingThroughput)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
