#pragma once
// Sandbox: the kernel's fences around one child process, set up between fork and exec.
//
// The caller decides the policy (which paths, which limits); this class knows how Linux
// enforces it and nothing about the program being confined. Layers, each used when the
// running kernel offers it (support()), skipped otherwise:
//  1. resource limits (setrlimit): processor time, address space, largest file written, and
//     no core files;
//  2. PR_SET_NO_NEW_PRIVS: no set-user-ID or file-capability gain through exec;
//  3. Landlock: file-system access only to the paths given with allow() (truncation from ABI
//     3, device ioctls from ABI 5), no TCP connections or binds (ABI 4+), no signals to, and no
//     abstract sockets of, processes outside the sandbox (ABI 6+);
//  4. a seccomp filter (built with libseccomp): no sockets, no ptrace or process_vm_*, no
//     mounts, namespaces, keyrings, bpf, perf_event_open, io_uring, userfaultfd, personality
//     changes, module or kexec loading, no terminal input injection (TIOCSTI, TIOCLINUX); and,
//     whatever Landlock's version, what it may not fence: no truncate() by path (ftruncate
//     stays), no chmod/chown/utime/xattr calls of any kind, no signals sent to any process
//     (kill, tkill, tgkill, rt_(tg)sigqueueinfo, pidfd_send_signal, pidfd_open), no setsid or
//     setpgid, no PR_SET_PDEATHSIG change, no new processes (fork, vfork, clone without
//     CLONE_THREAD; threads stay allowed).
//     Refused calls fail with EPERM (clone3 with ENOSYS, so the C library falls back to clone,
//     whose flags are checked).
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
        bool coreFiles = false;
    };

    // Which layers the running kernel offers; probed once per process. An outer sandbox that
    // forbids a layer's system calls counts as the kernel lacking it.
    struct Support {
        int landlockAbi = 0;          // 0 when Landlock cannot be used
        std::string landlockMissing;  // why, when it cannot
        bool seccomp = false;
        std::string seccompMissing;
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
