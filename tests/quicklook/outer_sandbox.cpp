// outer_sandbox PROGRAM ARGS…: runs PROGRAM as an outer sandbox with a strict seccomp profile
// would (some container runtimes, old profiles): Landlock's system calls report "not
// implemented" and seccomp's own call is refused. It also sets tighter hard limits on file size
// and processor time than the converter's own, and takes away the right to raise them (even
// from root). The program must manage without them.
#include <errno.h>
#include <linux/capability.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: outer_sandbox PROGRAM [ARGUMENT…]\n");
        return 2;
    }
    const rlimit fileSize{256 << 20, 256 << 20};
    const rlimit processorTime{50, 50};
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct capabilities[2]{};
    int limited = setrlimit(RLIMIT_FSIZE, &fileSize) | setrlimit(RLIMIT_CPU, &processorTime);
    // Without CAP_SYS_RESOURCE in the bounding and inheritable sets, not even root may raise a
    // hard limit after the exec below.
    if (geteuid() == 0) {
        limited |= prctl(PR_CAPBSET_DROP, CAP_SYS_RESOURCE, 0, 0, 0);
        limited |= static_cast<int>(syscall(SYS_capget, &header, capabilities));
        for (auto& set : capabilities) set.inheritable = 0;
        limited |= static_cast<int>(syscall(SYS_capset, &header, capabilities));
    }
    if (limited != 0) {
        std::perror("outer_sandbox: cannot set the limits");
        return 2;
    }
    scmp_filter_ctx context = seccomp_init(SCMP_ACT_ALLOW);
    int failed = !context;
    for (const char* name :
         {"landlock_create_ruleset", "landlock_add_rule", "landlock_restrict_self"})
        failed |= seccomp_rule_add(context, SCMP_ACT_ERRNO(ENOSYS),
                                   seccomp_syscall_resolve_name(name), 0);
    failed |= seccomp_rule_add(context, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(seccomp), 0);
    failed |= seccomp_rule_add(context, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(prctl), 1,
                               SCMP_A0(SCMP_CMP_EQ, PR_SET_SECCOMP));
    if (failed || seccomp_load(context) != 0) {
        std::fprintf(stderr, "outer_sandbox: cannot install the filter\n");
        return 2;
    }
    seccomp_release(context);
    execv(argv[1], argv + 1);
    std::perror("outer_sandbox: exec");
    return 127;
}
