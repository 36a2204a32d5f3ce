#pragma once
// Sandbox: the kernel's fences around one child process, set up between fork and exec.
//
// The caller decides the policy (which paths, which limits); this class knows how Linux
// enforces it and nothing about the program being confined. Layers, each used when the
// running kernel offers it (support()), skipped otherwise:
//  1. resource limits (setrlimit): processor time, address space, largest file written, open
//     descriptors, and no core files;
//  2. PR_SET_NO_NEW_PRIVS: no set-user-ID or file-capability gain through exec;
//  3. Landlock: file-system access only to the paths given with allow() (truncation from ABI
//     3, device ioctls from ABI 5), no TCP connections or binds (ABI 4+), no signals to, and no
//     abstract sockets of, processes outside the sandbox (ABI 6+);
//  4. a seccomp filter (built with libseccomp) that is an allowlist: the calls a trace of
//     Ghostscript 10 over real files makes (in every mode the project uses), with a margin of
//     the usual file, memory, time, signal-mask and thread calls of the C library; every other
//     call fails with EPERM, and calls younger than the filter (x86-64 numbers above 469,
//     file_setattr) with ENOSYS. Where a call can reach beyond the caller, its arguments are
//     checked, and 32-bit arguments are compared on their low word only, as the kernel reads
//     them (SCMP_CMP_MASKED_EQ), so high bits cannot slip a value past:
//       - prlimit64, sched_{get,set}{affinity,param,scheduler,attr}, getpriority/setpriority
//         (PRIO_PROCESS) and ioprio_{get,set} (IOPRIO_WHO_PROCESS) only with a target of 0
//         (the caller; its own pid number is refused as well);
//       - prctl only for the few options the C library and Ghostscript use (reading the
//         capability bounding set, the dumpable flag, the death signal and no-new-privileges
//         flag, a thread's name, naming memory): never PR_SET_PDEATHSIG;
//       - fcntl without F_SETOWN, F_SETOWN_EX, F_SETSIG, leases or directory notification;
//         ioctl only for reading terminal attributes and window size, FIONREAD, FIONBIO and
//         FIOCLEX/FIONCLEX (no FIOSETOWN, SIOCSPGRP, TIOCSTI);
//       - open/openat never with O_TRUNC on a read-only open, never O_TMPFILE; fallocate only
//         in mode 0 (no space past the end of the file the size does not show);
//       - clone only for threads (CLONE_THREAD, no namespace flags); clone3 fails with ENOSYS,
//         so the C library falls back to clone.
//     Not allowed, so refused whatever the kernel: sockets, ptrace and process_vm_*, mounts,
//     namespaces, keyrings, bpf, perf_event_open, io_uring, userfaultfd, personality, modules,
//     kexec; every SysV IPC call and the POSIX message queues; memfd_create; openat2;
//     fanotify/inotify; truncate() by path (ftruncate stays); every chmod/chown/utime/xattr
//     call; signals to any process (kill, tkill, tgkill, rt_(tg)sigqueueinfo, pidfd_*);
//     setsid, setpgid; links and symbolic links; and new processes (fork, vfork, clone
//     without CLONE_THREAD) unless Layers::newProcesses.
//  5. a bound on threads: with Limits::threads, the child moves into a user namespace of its
//     own (its user and group mapped to themselves) and gets RLIMIT_NPROC = threads. The
//     kernel counts a user's tasks per user namespace (Linux 5.14+), so the limit counts the
//     child's own threads, not the user's other processes. Used when the kernel lets an
//     unprivileged process make a user namespace and the caller is not root (RLIMIT_NPROC
//     does not bind root); skipped otherwise, and when the namespace cannot be made at launch.
//
// What happens:
//  1. the caller describes the policy (allow(), limits);
//  2. prepare() builds the kernel objects in the parent (it opens the allowed paths, fills a
//     Landlock ruleset, takes the compiled filter), because the child of a threaded process may
//     only make system calls;
//  3. Prepared::applyInChild() applies them in the forked child, just before exec.
// A path that does not exist is left out of the rules (a policy may list folders some systems
// lack). prepare() throws std::system_error when a kernel object cannot be built although the
// kernel offers the layer; applyInChild() reports the errno of a failed step, so the child
// fails closed rather than running unconfined.
//
// Thread-safety: a Sandbox is a value; support() and prepare() may be called from any thread.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorrel::platform {

class Sandbox {
public:
    enum class Access {
        read,         // read files, list folders
        readExecute,  // read, and run programs
        writeFile,    // read, write and truncate one existing file (no creating or removing)
        full,         // read, write, create and remove files and folders beneath a folder
    };

    struct Limits {
        std::optional<std::chrono::seconds> processorTime;  // SIGXCPU, then SIGKILL a second later
        std::optional<std::uint64_t> addressSpace;          // bytes
        std::optional<std::uint64_t> fileSize;              // bytes; beyond it writes fail
        std::optional<std::uint64_t> openFiles;             // descriptors at once
        bool coreFiles = false;
        std::optional<unsigned> threads;  // tasks (threads and processes) at once, layer 5
    };

    // Which layers the running kernel offers; probed once per process. An outer sandbox that
    // forbids a layer's system calls counts as the kernel lacking it.
    struct Support {
        int landlockAbi = 0;          // 0 when Landlock cannot be used
        std::string landlockMissing;  // why, when it cannot
        bool seccomp = false;
        std::string seccompMissing;
        bool threadBound = false;  // layer 5
        std::string threadBoundMissing;
    };
    static const Support& support();

    // Which layers to use (all by default). Layers the kernel lacks are skipped regardless.
    struct Layers {
        bool limits = true;
        bool landlock = true;
        bool seccomp = true;
        // The filter lets the child start processes (for test doubles that are shell scripts).
        bool newProcesses = false;
    };

    Sandbox() = default;
    explicit Sandbox(Limits limits) : limits_(limits) {}
    Sandbox(Limits limits, Layers layers) : limits_(limits), layers_(layers) {}

    // Grants `access` to `path` (for a folder: beneath it). Symbolic links are followed.
    void allow(const std::filesystem::path& path, Access access);

    const Limits& limits() const { return limits_; }

    // Test seams, process-wide while an object lives:
    // Landlock is used at most at this ABI (2: as on Debian 12's 6.1 kernel).
    class LandlockAbiCeiling {
    public:
        explicit LandlockAbiCeiling(int abi);
        ~LandlockAbiCeiling();
        LandlockAbiCeiling(const LandlockAbiCeiling&) = delete;
        LandlockAbiCeiling& operator=(const LandlockAbiCeiling&) = delete;
    };
    // A call the filter refuses kills the child with SIGSYS instead of failing (clone3 still
    // answers ENOSYS): a run that succeeds made no refused call.
    class RefusalsKill {
    public:
        RefusalsKill();
        ~RefusalsKill();
        RefusalsKill(const RefusalsKill&) = delete;
        RefusalsKill& operator=(const RefusalsKill&) = delete;
    };
    const Layers& layers() const { return layers_; }

    class Prepared {
    public:
        ~Prepared();
        Prepared(const Prepared&) = delete;
        Prepared& operator=(const Prepared&) = delete;

        // In the child, between fork and exec: only system calls, no allocation. Returns 0, or
        // the errno of the step that failed. Closes the ruleset descriptor.
        int applyInChild() const noexcept;
        // The descriptor the child must keep open until applyInChild() (-1 for none).
        int descriptor() const { return rulesetFd_; }

    private:
        friend class Sandbox;
        Prepared() = default;
        int rulesetFd_ = -1;
        struct Limit {
            int resource;
            std::uint64_t soft, hard;
        };
        std::vector<Limit> rlimits_;
        // Layer 5: a user namespace of its own, and the maps written into it.
        bool userNamespace_ = false;
        std::string uidMap_, gidMap_;
        const void* filter_ = nullptr;  // struct sock_fprog of the process-wide filter
    };

    std::unique_ptr<Prepared> prepare() const;

private:
    struct Rule {
        std::filesystem::path path;
        Access access;
    };
    std::vector<Rule> rules_;
    Limits limits_;
    Layers layers_;
};

}  // namespace vorrel::platform
