// probe_converter: stands in the converter's place (GhostScript::TestOverride) and tries, from
// inside whatever confinement it was started in, what a broken interpreter might do. It writes
// one line per attempt into the file a converter is asked to write (the item after "-o", or
// the value of "-sOutputFile="):
//     <attempt>: succeeded
//     <attempt>: refused (<reason>)
// and exits 0. What it tries comes from the environment:
//   VORREL_PROBE_MODE      "attempts" (default), "descriptors" (lists its open descriptors,
//                          "descriptors: 0 1 2"), or "spin" (burns processor time forever)
//   VORREL_PROBE_SECRET    a file of the user's to read
//   VORREL_PROBE_CONTAINER a folder beside the cache folder to create a file in
//   VORREL_PROBE_CACHE     the cache folder, to create a file in
//   VORREL_PROBE_VICTIM    another preview's file, to overwrite and then delete
//   VORREL_PROBE_TMP_FILE  a path in /tmp to create
//   VORREL_PROBE_TARGET    a file of the user's to change: owner, mode, times, an extended
//                          attribute, then its length (truncate by path)
// It is built without sanitizers: their shadow memory cannot live under an address-space limit.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

std::string outputPath(int argc, char** argv) {
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("-sOutputFile=", 0) == 0) out = argument.substr(13);
        if (argument == "-o" && i + 1 < argc) out = argv[i + 1];
    }
    return out;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Runs `action` in a new process: 0 when the process started and `action` returned 0, else
// the errno that stopped either.
template <typename Action>
int inChild(Action action) {
    const pid_t child = fork();
    if (child < 0) return errno;
    if (child == 0) _exit(action());
    int status = 0;
    if (waitpid(child, &status, 0) != child) return errno;
    return WIFEXITED(status) ? WEXITSTATUS(status) : EINTR;
}

// Runs one attempt: it returns 0 when it got through, else the errno that stopped it.
std::string attempt(const char* name, const std::function<int()>& action) {
    const int error = action();
    std::string line = name;
    if (error == 0) {
        line.append(": succeeded\n");
    } else {
        line.append(": refused (").append(std::strerror(error)).append(")\n");
    }
    return line;
}

int openResult(const std::string& path, int flags) {
    if (path.empty()) return EINVAL;
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

int socketResult(int domain, int type) {
    const int fd = socket(domain, type, 0);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

std::string attempts() {
    std::string report;
    report += attempt("read a file in the home", [] {
        const int fd = open(environment("VORREL_PROBE_SECRET").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno;
        char byte;
        const int error = read(fd, &byte, 1) == 1 ? 0 : EIO;
        close(fd);
        return error;
    });
    report += attempt("create a file beside the cache folder", [] {
        return openResult(environment("VORREL_PROBE_CONTAINER") + "/planted", O_WRONLY | O_CREAT);
    });
    report += attempt("create a file in the cache folder", [] {
        return openResult(environment("VORREL_PROBE_CACHE") + "/planted.pdf", O_WRONLY | O_CREAT);
    });
    report += attempt("overwrite another preview", [] {
        return openResult(environment("VORREL_PROBE_VICTIM"), O_WRONLY | O_TRUNC);
    });
    report += attempt("delete another preview", [] {
        return unlink(environment("VORREL_PROBE_VICTIM").c_str()) == 0 ? 0 : errno;
    });
    report += attempt("create a file in /tmp", [] {
        return openResult(environment("VORREL_PROBE_TMP_FILE"), O_WRONLY | O_CREAT | O_EXCL);
    });
    report += attempt("open a TCP socket", [] { return socketResult(AF_INET, SOCK_STREAM); });
    report += attempt("open a UDP socket", [] { return socketResult(AF_INET6, SOCK_DGRAM); });
    report += attempt("ptrace the parent", [] {
        // Seizing does not stop the parent; the probe's exit detaches it again.
        return ptrace(PTRACE_SEIZE, getppid(), nullptr, nullptr) == 0 ? 0 : errno;
    });
    report += attempt("signal the parent", [] { return kill(getppid(), 0) == 0 ? 0 : errno; });
    report += attempt("signal the parent's thread", [] {
        return syscall(SYS_tgkill, getppid(), getppid(), 0) == 0 ? 0 : errno;
    });
    report += attempt("open a pidfd of the parent", [] {
        const long fd = syscall(SYS_pidfd_open, getppid(), 0);
        if (fd < 0) return errno;
        close(static_cast<int>(fd));
        return 0;
    });
    report += attempt("start a process", [] {
        return inChild([] { return 0; });
    });
    report += attempt("start a session", [] {
        // A group leader may not; a process it starts may.
        return inChild([] { return setsid() < 0 ? errno : 0; });
    });
    report += attempt("move to a process group", [] {
        return setpgid(0, 0) == 0 ? 0 : errno;
    });
    report += attempt("clear the death signal", [] {
        return prctl(PR_SET_PDEATHSIG, 0, 0, 0, 0) == 0 ? 0 : errno;
    });
    report += attempt("start a thread", [] {
        int error = EAGAIN;
        try {
            std::thread([&error] { error = 0; }).join();
        } catch (const std::system_error& failed) {
            error = failed.code().value();
        }
        return error;
    });
    const std::string target = environment("VORREL_PROBE_TARGET");
    report += attempt("change a file's mode", [&] {
        return chmod(target.c_str(), 0644) == 0 ? 0 : errno;
    });
    report += attempt("change a file's owner", [&] {
        return chown(target.c_str(), getuid(), getgid()) == 0 ? 0 : errno;
    });
    report += attempt("change a file's times", [&] {
        return utimes(target.c_str(), nullptr) == 0 ? 0 : errno;
    });
    report += attempt("set an extended attribute", [&] {
        return setxattr(target.c_str(), "user.vorrel", "x", 1, 0) == 0 ? 0 : errno;
    });
    report += attempt("truncate a file by its path", [&] {
        return truncate(target.c_str(), 0) == 0 ? 0 : errno;
    });
    report += attempt("make a user namespace", [] {
        return unshare(CLONE_NEWUSER) == 0 ? 0 : errno;
    });
    report += attempt("map 1.5 GiB", [] {
        const std::size_t size = std::size_t{3} << 29;
        void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory == MAP_FAILED) return errno;
        munmap(memory, size);
        return 0;
    });
    report += attempt("write past 1 GiB", [] {
        signal(SIGXFSZ, SIG_IGN);  // report EFBIG instead of dying
        const std::string path = environment("TMPDIR") + "/large";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return errno;
        const int error = pwrite(fd, "x", 1, off_t{1} << 30) == 1 ? 0 : errno;
        close(fd);
        unlink(path.c_str());
        return error;
    });
    return report;
}

// The open descriptors, found without /proc (which a confined probe may not read).
std::string descriptors() {
    std::string report = "descriptors:";
    const long most = sysconf(_SC_OPEN_MAX);
    for (int fd = 0; fd < most && fd < (1 << 16); ++fd)
        if (fcntl(fd, F_GETFD) != -1) report.append(" ").append(std::to_string(fd));
    return report + "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = environment("VORREL_PROBE_MODE");
    if (mode == "spin") {
        volatile unsigned long counter = 0;
        while (true) counter = counter + 1;
    }
    const std::string report = mode == "descriptors" ? descriptors() : attempts();
    std::ofstream out(outputPath(argc, argv), std::ios::binary | std::ios::trunc);
    out << report;
    return out ? 0 : 1;
}
