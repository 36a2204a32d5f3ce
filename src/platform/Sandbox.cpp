#include "platform/Sandbox.h"

#include <fcntl.h>
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
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

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

// A descriptor closed on every path.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// The compiled seccomp filter, the same for every sandbox of the process.
struct Filter {
    std::vector<sock_filter> instructions;
    sock_fprog program{};
    std::string error;  // why it could not be built
};

std::string compileFilter(std::vector<sock_filter>& instructions, bool newProcesses) {
    scmp_filter_ctx context = seccomp_init(SCMP_ACT_ALLOW);
    if (!context) return "libseccomp could not start a filter";
    struct ContextGuard {
        scmp_filter_ctx context;
        ~ContextGuard() { seccomp_release(context); }
    } guard{context};

    const std::uint32_t refuse = SCMP_ACT_ERRNO(EPERM);
    int failed = 0;
    const auto deny = [&](int call) {
        if (call != __NR_SCMP_ERROR) failed |= seccomp_rule_add(context, refuse, call, 0);
    };
    for (const char* name :
         {"socket", "socketpair", "ptrace", "process_vm_readv", "process_vm_writev", "mount",
          "umount2", "pivot_root", "chroot", "move_mount", "open_tree", "fsopen", "fsconfig",
          "fsmount", "fspick", "mount_setattr", "unshare", "setns", "keyctl", "add_key",
          "request_key", "bpf", "perf_event_open", "personality", "userfaultfd", "io_uring_setup",
          "io_uring_enter", "io_uring_register", "kexec_load", "kexec_file_load", "init_module",
          "finit_module", "delete_module", "open_by_handle_at", "quotactl", "acct", "swapon",
          "swapoff", "reboot"})
        deny(seccomp_syscall_resolve_name(name));
    // Namespaces through clone's flags; clone3 passes them in memory the filter cannot read, so
    // it reports "not implemented" and the C library falls back to clone.
    for (unsigned long flag : {CLONE_NEWUSER, CLONE_NEWNS, CLONE_NEWPID, CLONE_NEWNET, CLONE_NEWIPC,
                               CLONE_NEWUTS, CLONE_NEWCGROUP})
        failed |= seccomp_rule_add(context, refuse, SCMP_SYS(clone), 1,
                                   SCMP_A0(SCMP_CMP_MASKED_EQ, flag, flag));
    failed |= seccomp_rule_add(context, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);
    // New processes: a clone without CLONE_THREAD (threads stay allowed), fork and vfork.
    if (!newProcesses) {
        failed |= seccomp_rule_add(context, refuse, SCMP_SYS(clone), 1,
                                   SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0));
        deny(SCMP_SYS(fork));
        deny(SCMP_SYS(vfork));
    }
    // What Landlock may not fence (truncation before ABI 3, signals before ABI 6, metadata
    // never), and the ways out of the process group and of dying with the parent.
    for (const char* name :
         {"truncate", "chmod", "fchmod", "fchmodat", "chown", "fchown", "lchown",
          "fchownat", "utime", "utimes", "futimesat", "utimensat", "setxattr", "lsetxattr",
          "fsetxattr", "removexattr", "lremovexattr", "fremovexattr", "kill", "tkill", "tgkill",
          "rt_sigqueueinfo", "rt_tgsigqueueinfo", "pidfd_send_signal", "pidfd_open", "setsid",
          "setpgid"})
        deny(seccomp_syscall_resolve_name(name));
    // Calls younger than this libseccomp's table, refused by their x86-64 numbers: fchmodat2,
    // setxattrat, removexattrat.
    if (seccomp_arch_native() == SCMP_ARCH_X86_64)
        for (int call : {452, 463, 466}) failed |= seccomp_rule_add(context, refuse, call, 0);
    failed |= seccomp_rule_add(context, refuse, SCMP_SYS(prctl), 1,
                               SCMP_A0(SCMP_CMP_EQ, PR_SET_PDEATHSIG));
    // Typing into the terminal the child may have inherited; the kernel reads the request
    // number as 32 bits, so the upper half is masked off.
    for (unsigned long request : {TIOCSTI, TIOCLINUX})
        failed |= seccomp_rule_add(context, refuse, SCMP_SYS(ioctl), 1,
                                   SCMP_A1(SCMP_CMP_MASKED_EQ, 0xffffffffUL, request));
    if (failed) return "libseccomp refused a rule";

    Fd memory(memfd_create("vorrel-seccomp", MFD_CLOEXEC));
    if (memory.get() < 0) return std::string("memfd_create: ") + std::strerror(errno);
    if (seccomp_export_bpf(context, memory.get()) != 0) return "libseccomp could not export";
    const off_t size = lseek(memory.get(), 0, SEEK_END);
    if (size <= 0 || size % static_cast<off_t>(sizeof(sock_filter)) != 0)
        return "libseccomp exported no program";
    instructions.resize(static_cast<std::size_t>(size) / sizeof(sock_filter));
    if (pread(memory.get(), instructions.data(), static_cast<std::size_t>(size), 0) != size)
        return "the exported program could not be read back";
    return {};
}

Filter compiled(bool newProcesses) {
    Filter result;
    result.error = compileFilter(result.instructions, newProcesses);
    result.program.len = static_cast<unsigned short>(result.instructions.size());
    result.program.filter = result.instructions.data();
    return result;
}

const Filter& filter(bool newProcesses = false) {
    static const Filter strict = compiled(false);
    if (!newProcesses) return strict;
    static const Filter forking = compiled(true);
    return forking;
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
    return support;
}

}  // namespace

const Sandbox::Support& Sandbox::support() {
    static const Support probed = probe();
    return probed;
}

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
        if (!limits_.coreFiles) add(RLIMIT_CORE, 0, 0);
    }

    if (layers_.landlock && offered.landlockAbi > 0) {
        const int abi = offered.landlockAbi;
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
        Fd ruleset(static_cast<int>(
            syscall(SYS_landlock_create_ruleset, &attributes, size, 0U)));
        if (ruleset.get() < 0) throw systemError(errno, "cannot create a Landlock ruleset");
        for (const Rule& rule : rules_) {
            Fd target(open(rule.path.c_str(), O_PATH | O_CLOEXEC));
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
        prepared->filter_ = &filter(layers_.newProcesses).program;
    return prepared;
}

int Sandbox::Prepared::applyInChild() const noexcept {
    for (const Limit& limit : rlimits_) {
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
