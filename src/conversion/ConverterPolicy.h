#pragma once
// What a converter run may touch and use: the policy that platform::Sandbox enforces.
//
// Reading (and running programs): the system's program and library folders (/usr, /bin,
// /lib, /lib64), the converter's own file and folder (its link resolved), the configuration the
// interpreter and its libraries read (/etc/ld.so.cache, /etc/papersize, /etc/localtime,
// /etc/fonts, /etc/ghostscript), Ghostscript's and fontconfig's data (/var/lib/ghostscript,
// /var/cache/fontconfig), and the input: the file the run staged (its private copy, or the
// source itself, which a link in the private folder names; StagedInput.h), or the source
// itself for a caller that does not stage it. Nothing else of the user's.
// Writing: the run's private temporary folder (create, write, remove beneath it), and the one
// output file, which exists before the launch: write and truncate it, never create, replace or
// remove anything beside it.
// `layers` are all used by default; tests leave Landlock out (as on a kernel without it), or let
// a shell-script double start programs.
// Limits: processor time = time limit + grace period (rounded up to seconds), address space
// 1 GiB, largest file written 1 GiB, kOpenFiles descriptors (each file it removes while holding
// it open counts against the write cap, and is at most 1 GiB), no core files, at most kThreads threads at once where the
// kernel lets the bound hold (Sandbox.h, layer 5; Ghostscript 10 uses one).
//
// prepare(): does now, on the calling thread, what the first sandbox() of the process would
// do first (the kernel's layers probed, the system-call filter compiled): a thread can do it
// while the run's input is still being looked at.
//
// logSkippedLayers(): once per process, one debug line on the default logger for each layer
// the running kernel lacks (or an outer sandbox forbids), naming it: Landlock, the system-call
// filter, the thread bound.
//
// Thread-safety: callable from any thread.

#include <chrono>
#include <cstdint>
#include <filesystem>

#include "platform/Sandbox.h"

namespace vorrel {

struct ConverterPolicy {
    static constexpr std::uint64_t kAddressSpace = 1ULL << 30;
    static constexpr std::uint64_t kLargestFile = 1ULL << 30;
    static constexpr unsigned kThreads = 32;
    static constexpr std::uint64_t kOpenFiles = 256;

    static platform::Sandbox sandbox(const std::filesystem::path& converter,
                                     const std::filesystem::path& source,
                                     const std::filesystem::path& output,
                                     const std::filesystem::path& temporaryFolder,
                                     std::chrono::milliseconds processorTime,
                                     platform::Sandbox::Layers layers = {});
    static void prepare();
    static void logSkippedLayers();
};

}  // namespace vorrel
