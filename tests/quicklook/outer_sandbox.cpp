// outer_sandbox PROGRAM ARGS…: runs PROGRAM as an outer sandbox with a strict seccomp profile
// would (some container runtimes, old profiles): Landlock's system calls report "not
// implemented" and seccomp's own call is refused. The program must manage without them.
#include <errno.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: outer_sandbox PROGRAM [ARGUMENT…]\n");
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
