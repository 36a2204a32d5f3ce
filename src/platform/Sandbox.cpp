#include "platform/Sandbox.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <system_error>

#include "platform/FileDescriptor.h"

namespace vorrel::platform {

namespace {

// Debian 12's kernel headers describe Landlock ABI 2; the later rights and fields are defined
// here with the values the kernel's ABI fixes.
constexpr std::uint64_t kFsTruncate = 1ULL << 14;   // ABI 3
constexpr std::uint64_t kFsIoctlDev = 1ULL << 15;   // ABI 5
constexpr std::uint64_t kNetBindTcp = 1ULL << 0;    // ABI 4
constexpr std::uint64_t kNetConnectTcp = 1ULL << 1;
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ULL << 0;  // ABI 6
constexpr std::uint64_t kScopeSignal = 1ULL << 1;

// struct landlock_ruleset_attr as of ABI 6; older kernels are given a shorter prefix.
struct RulesetAttributes {
    std::uint64_t handledAccessFs;
    std::uint64_t handledAccessNet;
    std::uint64_t scoped;
};

struct [[gnu::packed]] PathBeneathAttributes {
    std::uint64_t allowedAccess;
    std::int32_t parentFd;
};

constexpr std::uint64_t kFsAbi1 =
    LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_READ_FILE |
    LANDLOCK_ACCESS_FS_READ_DIR | LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE |
    LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
    LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK |
    LANDLOCK_ACCESS_FS_MAKE_SYM;
// The rights that make sense on a file rather than a folder.
constexpr std::uint64_t kFileRights = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE |
                                      LANDLOCK_ACCESS_FS_READ_FILE | kFsTruncate | kFsIoctlDev;

std::uint64_t handledFs(int abi) {
    std::uint64_t rights = kFsAbi1;
    if (abi >= 2) rights |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3) rights |= kFsTruncate;
    if (abi >= 5) rights |= kFsIoctlDev;
    return rights;
}

std::uint64_t rightsFor(Sandbox::Access access) {
    constexpr std::uint64_t read = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
    switch (access) {
    case Sandbox::Access::read:
        return read;
    case Sandbox::Access::readExecute:
        return read | LANDLOCK_ACCESS_FS_EXECUTE;
    case Sandbox::Access::writeFile:
        return LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE | kFsTruncate;
    case Sandbox::Access::full:
        return read | LANDLOCK_ACCESS_FS_WRITE_FILE | kFsTruncate | LANDLOCK_ACCESS_FS_MAKE_REG |
               LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE |
               LANDLOCK_ACCESS_FS_REMOVE_DIR;
    }
    return 0;
}

std::system_error systemError(int error, const std::string& what) {
    return std::system_error(error, std::generic_category(), what);
}

// The compiled seccomp filter, the same for every sandbox of the process.
struct Filter {
    std::vector<sock_filter> instructions;
    sock_fprog program{};
    std::string error;  // why it could not be built
};

// The highest x86-64 system call number whose meaning the filter knows (469: file_setattr).
// Younger calls answer ENOSYS, as on a kernel without them, so the C library falls back.
constexpr int kNewestKnownCall = 469;
constexpr int kHighestCallNumber = 1023;

// Calls allowed whatever their arguments: those of a trace of Ghostscript 10 over real files
// in every mode (PDF, PNG with and without alpha, a document's first page, thumbnails, bbox),
// and a margin of what the C library and Ghostscript may use on other inputs. None of them
// reaches another process or a file beyond what Landlock grants.
constexpr const char* kAllowed[] = {
    // Files through descriptors, and folders (Landlock decides which).
    "read", "write", "readv", "writev", "pread64", "pwrite64", "preadv", "pwritev", "preadv2",
    "pwritev2", "close", "close_range", "lseek", "fstat", "stat", "lstat", "newfstatat", "statx",
    "access", "faccessat", "faccessat2", "readlink", "readlinkat", "getdents", "getdents64",
    "getcwd", "chdir", "fchdir", "mkdir", "mkdirat", "rmdir", "unlink", "unlinkat", "rename",
    "renameat", "renameat2", "dup", "dup2", "dup3", "pipe", "pipe2", "fsync", "fdatasync",
    "ftruncate", "flock", "fadvise64", "readahead", "statfs", "fstatfs", "umask", "poll", "ppoll",
    "select", "pselect6", "sendfile", "copy_file_range", "splice", "epoll_create1", "epoll_ctl",
    "epoll_wait", "epoll_pwait", "eventfd2",
    // Memory.
    "brk", "mmap", "munmap", "mremap", "mprotect", "madvise", "msync", "mincore", "membarrier",
    "rseq", "set_robust_list", "get_robust_list", "set_tid_address", "futex", "arch_prctl",
    "getrandom",
    // Time.
    "clock_gettime", "clock_getres", "clock_nanosleep", "nanosleep", "gettimeofday", "time",
    "times", "getitimer", "setitimer", "alarm", "timer_create", "timer_settime", "timer_gettime",
    "timer_getoverrun", "timer_delete", "timerfd_create", "timerfd_settime", "timerfd_gettime",
    // Its own signals and signal mask (none sent to anybody).
    "rt_sigaction", "rt_sigprocmask", "rt_sigreturn", "sigaltstack", "rt_sigpending",
    "rt_sigsuspend", "rt_sigtimedwait", "pause", "restart_syscall",
    // Itself.
    "exit", "exit_group", "execve", "wait4", "waitid", "getpid", "gettid", "getppid", "getuid",
    "geteuid", "getgid", "getegid", "getgroups", "getresuid", "getresgid", "getpgrp", "getpgid",
    "getsid", "uname", "sysinfo", "getrusage", "getrlimit", "setrlimit", "sched_yield",
    "sched_get_priority_max", "sched_get_priority_min", "getcpu", "capget"};

// Younger than libseccomp 2.5's table, allowed by their x86-64 numbers: futex_waitv (449),
// map_shadow_stack (453), futex_wake, futex_wait, futex_requeue (454-456).
constexpr int kAllowedNumbers[] = {449, 453, 454, 455, 456};

constexpr std::uint32_t kLowWord = 0xffffffffU;

scmp_arg_cmp low(unsigned argument, std::uint32_t value) {
    return SCMP_CMP(argument, SCMP_CMP_MASKED_EQ, kLowWord, value);
}

std::string compileFilter(std::vector<sock_filter>& instructions, bool newProcesses,
                          bool refusalsKill) {
    const std::uint32_t refuse = refusalsKill ? SCMP_ACT_TRAP : SCMP_ACT_ERRNO(EPERM);
    scmp_filter_ctx context = seccomp_init(refuse);
    if (!context) return "libseccomp could not start a filter";
    struct ContextGuard {
        scmp_filter_ctx context;
        ~ContextGuard() { seccomp_release(context); }
    } guard{context};
    // A binary tree of call numbers: a few comparisons per call whatever the list's length.
    seccomp_attr_set(context, SCMP_FLTATR_CTL_OPTIMIZE, 2);

    int failed = 0;
    const auto allow = [&](const char* name, std::initializer_list<scmp_arg_cmp> checks = {}) {
        const int call = seccomp_syscall_resolve_name(name);
        if (call == __NR_SCMP_ERROR) return;  // not a call of this architecture
        failed |= seccomp_rule_add_array(context, SCMP_ACT_ALLOW, call,
                                         static_cast<unsigned>(checks.size()), checks.begin());
    };
    for (const char* name : kAllowed) allow(name);
    const bool x86_64 = seccomp_arch_native() == SCMP_ARCH_X86_64;
    if (x86_64)
        for (int call : kAllowedNumbers) failed |= seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 0);

    // Threads; new processes only for test doubles that are shell scripts. Namespaces never.
    // The kernel reads clone's flags as 32 bits; every flag tested lies there.
    constexpr std::uint32_t namespaces = CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWPID | CLONE_NEWNET |
                                         CLONE_NEWIPC | CLONE_NEWUTS | CLONE_NEWCGROUP;
    if (newProcesses) {
        allow("clone", {SCMP_A0(SCMP_CMP_MASKED_EQ, namespaces, 0)});
        allow("fork");
        allow("vfork");
    } else {
        allow("clone",
              {SCMP_A0(SCMP_CMP_MASKED_EQ, namespaces | CLONE_THREAD, CLONE_THREAD)});
    }
    failed |= seccomp_rule_add(context, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);

    // Opening: never truncating what it opens for reading only (Landlock before ABI 3 does not
    // fence truncation), never an unnamed O_TMPFILE file the write cap could not see.
    // The kernel's __O_TMPFILE bit alone (the C library's constant includes O_DIRECTORY).
    constexpr std::uint32_t tmpfile = 020000000;
    const auto allowOpen = [&](const char* name, unsigned flagsArgument) {
        allow(name, {SCMP_CMP(flagsArgument, SCMP_CMP_MASKED_EQ, O_ACCMODE | O_TRUNC | tmpfile,
                              O_RDONLY)});
        for (std::uint32_t mode : {O_WRONLY, O_RDWR})
            allow(name, {SCMP_CMP(flagsArgument, SCMP_CMP_MASKED_EQ, O_ACCMODE | tmpfile, mode)});
    };
    allowOpen("open", 1);
    allowOpen("openat", 2);
    // Space only within the size the file shows (no FALLOC_FL_KEEP_SIZE and the like).
    allow("fallocate", {low(1, 0)});

    // Descriptor flags and locks; no owner for signals (F_SETOWN, F_SETOWN_EX, F_SETSIG), no
    // leases or directory notification (they signal too).
    for (std::uint32_t command :
         {F_DUPFD, F_DUPFD_CLOEXEC, F_GETFD, F_SETFD, F_GETFL, F_SETFL, F_GETLK, F_SETLK, F_SETLKW,
          F_OFD_GETLK, F_OFD_SETLK, F_OFD_SETLKW, F_GETOWN, F_GETPIPE_SZ, F_GET_SEALS})
        allow("fcntl", {low(1, command)});
    // Whether a descriptor is a terminal and how large; bytes waiting; blocking and
    // close-on-exec. No FIOSETOWN or SIOCSPGRP (signals), no TIOCSTI (typing).
    for (std::uint32_t request : {TCGETS, TIOCGWINSZ, FIONREAD, FIONBIO, FIOCLEX, FIONCLEX})
        allow("ioctl", {low(1, request)});
    // What the C library and Ghostscript ask of prctl; never PR_SET_PDEATHSIG.
    constexpr std::uint32_t setVma = 0x53564d41;  // PR_SET_VMA, newer than Debian 12's headers
    for (std::uint32_t option : {std::uint32_t{PR_CAPBSET_READ}, std::uint32_t{PR_GET_DUMPABLE},
                                 std::uint32_t{PR_GET_PDEATHSIG}, std::uint32_t{PR_GET_NO_NEW_PRIVS},
                                 std::uint32_t{PR_GET_SECCOMP}, std::uint32_t{PR_SET_NAME},
                                 std::uint32_t{PR_GET_NAME}, setVma})
        allow("prctl", {low(0, option)});
    // Limits, scheduling and priorities of the caller alone (target 0).
    allow("prlimit64", {low(0, 0)});
    for (const char* name :
         {"sched_getaffinity", "sched_setaffinity", "sched_getparam", "sched_setparam",
          "sched_getscheduler", "sched_setscheduler", "sched_getattr", "sched_setattr"})
        allow(name, {low(0, 0)});
    for (const char* name : {"getpriority", "setpriority"})
        allow(name, {low(0, PRIO_PROCESS), low(1, 0)});
    constexpr std::uint32_t ioprioWhoProcess = 1;
    for (const char* name : {"ioprio_get", "ioprio_set"})
        allow(name, {low(0, ioprioWhoProcess), low(1, 0)});

    if (failed) return "libseccomp refused a rule";

    FileDescriptor memory(memfd_create("vorrel-seccomp", MFD_CLOEXEC));
    if (memory.get() < 0) return std::string("memfd_create: ") + std::strerror(errno);
    if (seccomp_export_bpf(context, memory.get()) != 0) return "libseccomp could not export";
    const off_t size = lseek(memory.get(), 0, SEEK_END);
    if (size <= 0 || size % static_cast<off_t>(sizeof(sock_filter)) != 0)
        return "libseccomp exported no program";
    // Calls younger than the filter: "not implemented", as on an older kernel. One range test
    // ahead of libseccomp's program: a rule for each of those numbers would make compiling the
    // filter, which every new process does, cost twenty times as much.
    const std::vector<sock_filter> younger = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, 4),  // else on to the program
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, kHighestCallNumber, 2, 0),  // x32 calls: on
        BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, kNewestKnownCall, 0, 1),    // known calls: on
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
    };
    const std::size_t ahead = x86_64 ? younger.size() : 0;
    instructions.resize(ahead + static_cast<std::size_t>(size) / sizeof(sock_filter));
    std::copy(younger.begin(), younger.begin() + static_cast<std::ptrdiff_t>(ahead),
              instructions.begin());
    if (pread(memory.get(), instructions.data() + ahead, static_cast<std::size_t>(size), 0) != size)
        return "the exported program could not be read back";
    return {};
}

Filter compiled(bool newProcesses, bool refusalsKill) {
    Filter result;
    result.error = compileFilter(result.instructions, newProcesses, refusalsKill);
    result.program.len = static_cast<unsigned short>(result.instructions.size());
    result.program.filter = result.instructions.data();
    return result;
}

// The four variants, each compiled on first use.
const Filter& filter(bool newProcesses = false, bool refusalsKill = false) {
    if (refusalsKill) {
        static const Filter strict = compiled(false, true);
        if (!newProcesses) return strict;
        static const Filter forking = compiled(true, true);
        return forking;
    }
    static const Filter strict = compiled(false, false);
    if (!newProcesses) return strict;
    static const Filter forking = compiled(true, false);
    return forking;
}

std::atomic<int> landlockAbiCeiling{0};  // 0: none
std::atomic<int> refusalsKill{0};

// Whether this process may give a child a user namespace of its own (layer 5): a child made
// with CLONE_NEWUSER that ends at once.
std::string userNamespaceMissing() {
    if (geteuid() == 0) return "RLIMIT_NPROC does not bind a process run as root";
    const long pid = syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, nullptr, nullptr, nullptr, 0);
    if (pid == 0) syscall(SYS_exit_group, 0);
    if (pid < 0)
        return std::string("no user namespace can be made here: ") + std::strerror(errno);
    int status = 0;
    while (waitpid(static_cast<pid_t>(pid), &status, __WALL) < 0 && errno == EINTR) {
    }
    return {};
}

Sandbox::Support probe() {
    Sandbox::Support support;
    const long abi =
        syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi > 0) {
        support.landlockAbi = static_cast<int>(abi);
    } else if (errno == ENOSYS) {
        support.landlockMissing = "the kernel has no Landlock";
    } else if (errno == EOPNOTSUPP) {
        support.landlockMissing = "Landlock is disabled in this kernel";
    } else {
        support.landlockMissing = std::string("Landlock is not available: ") + std::strerror(errno);
    }

    std::uint32_t action = SECCOMP_RET_ERRNO;
    if (syscall(SYS_seccomp, SECCOMP_GET_ACTION_AVAIL, 0, &action) != 0) {
        support.seccompMissing =
            std::string("the kernel offers no seccomp filters: ") + std::strerror(errno);
    } else if (!filter().error.empty()) {
        support.seccompMissing = filter().error;
    } else {
        support.seccomp = true;
    }
    support.threadBoundMissing = userNamespaceMissing();
    support.threadBound = support.threadBoundMissing.empty();
    return support;
}

}  // namespace

const Sandbox::Support& Sandbox::support() {
    static const Support probed = probe();
    return probed;
}

Sandbox::LandlockAbiCeiling::LandlockAbiCeiling(int abi) { landlockAbiCeiling = abi; }
Sandbox::LandlockAbiCeiling::~LandlockAbiCeiling() { landlockAbiCeiling = 0; }
Sandbox::RefusalsKill::RefusalsKill() { ++refusalsKill; }
Sandbox::RefusalsKill::~RefusalsKill() { --refusalsKill; }

void Sandbox::allow(const std::filesystem::path& path, Access access) {
    rules_.push_back({path, access});
}

Sandbox::Prepared::~Prepared() {
    if (rulesetFd_ >= 0) close(rulesetFd_);
}

std::unique_ptr<Sandbox::Prepared> Sandbox::prepare() const {
    std::unique_ptr<Prepared> prepared(new Prepared);
    const Support& offered = support();

    if (layers_.limits) {
        const auto add = [&](int resource, std::uint64_t soft, std::uint64_t hard) {
            prepared->rlimits_.push_back({resource, soft, hard});
        };
        if (limits_.processorTime) {
            const auto seconds = static_cast<std::uint64_t>(std::max<long long>(
                1, static_cast<long long>(limits_.processorTime->count())));
            add(RLIMIT_CPU, seconds, seconds + 1);
        }
        if (limits_.addressSpace) add(RLIMIT_AS, *limits_.addressSpace, *limits_.addressSpace);
        if (limits_.fileSize) add(RLIMIT_FSIZE, *limits_.fileSize, *limits_.fileSize);
        if (limits_.openFiles) add(RLIMIT_NOFILE, *limits_.openFiles, *limits_.openFiles);
        if (!limits_.coreFiles) add(RLIMIT_CORE, 0, 0);
        if (limits_.threads && offered.threadBound) {
            prepared->userNamespace_ = true;
            prepared->uidMap_ = std::to_string(geteuid()) + " " + std::to_string(geteuid()) + " 1";
            prepared->gidMap_ = std::to_string(getegid()) + " " + std::to_string(getegid()) + " 1";
            add(RLIMIT_NPROC, *limits_.threads, *limits_.threads);
        }
    }

    if (layers_.landlock && offered.landlockAbi > 0) {
        const int ceiling = landlockAbiCeiling.load();
        const int abi = ceiling > 0 ? std::min(ceiling, offered.landlockAbi) : offered.landlockAbi;
        RulesetAttributes attributes{handledFs(abi), 0, 0};
        std::size_t size = sizeof(std::uint64_t);
        if (abi >= 4) {
            attributes.handledAccessNet = kNetBindTcp | kNetConnectTcp;
            size = 2 * sizeof(std::uint64_t);
        }
        if (abi >= 6) {
            attributes.scoped = kScopeAbstractUnixSocket | kScopeSignal;
            size = sizeof(RulesetAttributes);
        }
        FileDescriptor ruleset(static_cast<int>(
            syscall(SYS_landlock_create_ruleset, &attributes, size, 0U)));
        if (ruleset.get() < 0) throw systemError(errno, "cannot create a Landlock ruleset");
        for (const Rule& rule : rules_) {
            const FileDescriptor target = openFile(rule.path.c_str(), O_PATH);
            if (target.get() < 0) {
                if (errno == ENOENT || errno == ENOTDIR) continue;
                throw systemError(errno, "cannot open " + rule.path.string() + " for a rule");
            }
            struct stat status {};
            if (fstat(target.get(), &status) != 0)
                throw systemError(errno, "cannot examine " + rule.path.string());
            std::uint64_t rights = rightsFor(rule.access) & attributes.handledAccessFs;
            if (!S_ISDIR(status.st_mode)) rights &= kFileRights;
            if (rights == 0) continue;
            PathBeneathAttributes beneath{rights, target.get()};
            if (syscall(SYS_landlock_add_rule, ruleset.get(), LANDLOCK_RULE_PATH_BENEATH,
                        &beneath, 0U) != 0)
                throw systemError(errno, "cannot add a Landlock rule for " + rule.path.string());
        }
        prepared->rulesetFd_ = ruleset.release();
    }

    if (layers_.seccomp && offered.seccomp)
        prepared->filter_ = &filter(layers_.newProcesses, refusalsKill.load() > 0).program;
    return prepared;
}

namespace {

// Writes `text` into a file of /proc/self; false when that fails.
bool writeProcFile(const char* path, const char* text, std::size_t length) {
    const FileDescriptor fd = openFile(path, O_WRONLY);
    return fd && writeAll(fd.get(), std::string_view(text, length));
}

}  // namespace

int Sandbox::Prepared::applyInChild() const noexcept {
    // Layer 5 first, while /proc may still be written. A namespace the kernel refuses now (the
    // user's quota of namespaces used up) leaves the thread bound out rather than the preview.
    bool inOwnNamespace = false;
    if (userNamespace_ && unshare(CLONE_NEWUSER) == 0) {
        inOwnNamespace = true;
        // Mapped to themselves, so the child sees its own user and group on its files.
        writeProcFile("/proc/self/setgroups", "deny", 4);
        writeProcFile("/proc/self/uid_map", uidMap_.c_str(), uidMap_.size());
        writeProcFile("/proc/self/gid_map", gidMap_.c_str(), gidMap_.size());
    }
    for (const Limit& limit : rlimits_) {
        // RLIMIT_NPROC counts the user's tasks: only in a namespace of its own, its own.
        if (limit.resource == RLIMIT_NPROC && !inOwnNamespace) continue;
        const auto resource = static_cast<__rlimit_resource>(limit.resource);
        // A limit can only be lowered: where an outer sandbox or the user already set a
        // tighter one, that one stays (raising it would fail, and the launch with it).
        rlimit current{};
        if (getrlimit(resource, &current) != 0) return errno;
        const auto tighter = [&current](std::uint64_t wanted) {
            const auto value = static_cast<rlim_t>(wanted);
            return current.rlim_max != RLIM_INFINITY && current.rlim_max < value ? current.rlim_max
                                                                                 : value;
        };
        const rlimit value{tighter(limit.soft), tighter(limit.hard)};
        if (setrlimit(resource, &value) != 0) return errno;
    }
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return errno;
    if (rulesetFd_ >= 0) {
        if (syscall(SYS_landlock_restrict_self, rulesetFd_, 0U) != 0) return errno;
        close(rulesetFd_);
    }
    if (filter_ && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, filter_, 0, 0) != 0) return errno;
    return 0;
}

}  // namespace vorrel::platform
