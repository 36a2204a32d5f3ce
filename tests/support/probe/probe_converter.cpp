// probe_converter: stands in the converter's place (GhostScript::TestOverride) and tries, from
// inside whatever confinement it was started in, what a broken interpreter might do. It writes
// one line per attempt into the file a converter is asked to write (the item after "-o", or
// the value of "-sOutputFile="):
//     <attempt>: succeeded
//     <attempt>: refused (<reason>)
// and exits 0. What it tries comes from the environment:
//   VORREL_PROBE_MODE      "attempts" (default), "descriptors" (lists its open descriptors,
//                          "descriptors: 0 1 2"), "spin" (burns processor time forever),
//                          "threads" (starts threads that wait, at most 2,000, and reports
//                          "threads: N", N counting its main thread), "orphan" (clears its
//                          death signal with the option's high bits set, writes its process id
//                          into the output file, then waits to be killed), or "hoard" (makes a
//                          folder 0300 holding a file of VORREL_PROBE_HOARD bytes, then waits to be killed)
//   VORREL_PROBE_SECRET    a file of the user's to read
//   VORREL_PROBE_CONTAINER a folder beside the cache folder to create a file in
//   VORREL_PROBE_CACHE     the cache folder, to create a file in
//   VORREL_PROBE_VICTIM    another preview's file, to overwrite and then delete
//   VORREL_PROBE_TMP_FILE  a path in /tmp to create
//   VORREL_PROBE_TARGET    a file of the user's to change: owner, mode, times, an extended
//                          attribute, then its length (truncate by path)
//   VORREL_PROBE_OTHER     another process of the user's (a process id): it lowers its file
//                          size limit to 512 MiB, changes its priority (nice 1), scheduling
//                          and input/output priority, and makes it a descriptor's signal owner
//   VORREL_PROBE_SHM       another process's SysV shared-memory segment (its id), to attach
//   VORREL_PROBE_IPC_KEY   the key (decimal) of the IPC objects it makes, so that a test can
//                          look for them (IPC_PRIVATE when unset)
// The input file (the last argument) is opened read-only with O_TRUNC and through openat2.
// Objects the probe makes in a control run (IPC objects, queues) it removes again.
// It is built without sanitizers: their shadow memory cannot live under an address-space limit.
#include <fcntl.h>
#include <linux/fanotify.h>
#include <pthread.h>
#include <linux/openat2.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/resource.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <linux/sockios.h>
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
#include <atomic>
#include <condition_variable>
#include <mutex>
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

int resultOf(long value) { return value < 0 ? errno : 0; }

key_t ipcKey() {
    const std::string key = environment("VORREL_PROBE_IPC_KEY");
    return key.empty() ? IPC_PRIVATE : static_cast<key_t>(std::atol(key.c_str()));
}

pid_t other() { return static_cast<pid_t>(std::atol(environment("VORREL_PROBE_OTHER").c_str())); }

// Makes a scratch file in TMPDIR and runs `action` on its descriptor.
template <typename Action>
int onScratchFile(const char* name, Action action) {
    const std::string path = environment("TMPDIR") + "/" + name;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    const int error = action(fd);
    close(fd);
    unlink(path.c_str());
    return error;
}

// The attempts that reach beyond the probe itself: other processes, IPC, new kinds of files.
std::string reachingAttempts(const std::string& input) {
    std::string report;
    report += attempt("clear the death signal with high option bits", [] {
        return resultOf(syscall(SYS_prctl, (1UL << 32) | PR_SET_PDEATHSIG, 0, 0, 0, 0));
    });
    report += attempt("set another process's file size limit", [] {
        const rlimit lower{rlim_t{1} << 29, rlim_t{1} << 29};  // lowering needs no privilege
        return resultOf(syscall(SYS_prlimit64, other(), RLIMIT_FSIZE, &lower, nullptr));
    });
    report += attempt("set another process's limit with high pid bits", [] {
        const rlimit lower{rlim_t{1} << 29, rlim_t{1} << 29};  // lowering needs no privilege
        return resultOf(syscall(SYS_prlimit64, (1UL << 32) | static_cast<unsigned long>(other()),
                                RLIMIT_FSIZE, &lower, nullptr));
    });
    report += attempt("renice another process", [] {
        return resultOf(setpriority(PRIO_PROCESS, static_cast<id_t>(other()), 1));
    });
    report += attempt("renice another process group", [] {
        return resultOf(setpriority(PRIO_PGRP, static_cast<id_t>(getpgid(other())), 1));
    });
    report += attempt("set another process's processors", [] {
        cpu_set_t all;
        CPU_ZERO(&all);
        if (sched_getaffinity(0, sizeof all, &all) != 0) return errno;
        return resultOf(sched_setaffinity(other(), sizeof all, &all));
    });
    report += attempt("set another process's scheduler", [] {
        const sched_param normal{0};
        return resultOf(sched_setscheduler(other(), SCHED_OTHER, &normal));
    });
    report += attempt("set another process's scheduling parameters", [] {
        const sched_param normal{0};
        return resultOf(sched_setparam(other(), &normal));
    });
    report += attempt("set another process's input/output priority", [] {
        constexpr int whoProcess = 1, bestEffort = 2;
        return resultOf(syscall(SYS_ioprio_set, whoProcess, other(), bestEffort << 13 | 4));
    });
    report += attempt("make a shared memory segment", [] {
        const int id = shmget(ipcKey(), 4096, IPC_CREAT | 0600);
        if (id < 0) return errno;
        shmctl(id, IPC_RMID, nullptr);
        return 0;
    });
    report += attempt("attach another process's shared memory", [] {
        void* at = shmat(std::atoi(environment("VORREL_PROBE_SHM").c_str()), nullptr, SHM_RDONLY);
        if (at == reinterpret_cast<void*>(-1)) return errno;
        shmdt(at);
        return 0;
    });
    report += attempt("make a message queue", [] {
        const int id = msgget(ipcKey(), IPC_CREAT | 0600);
        if (id < 0) return errno;
        msgctl(id, IPC_RMID, nullptr);
        return 0;
    });
    report += attempt("make a semaphore set", [] {
        const int id = semget(ipcKey(), 1, IPC_CREAT | 0600);
        if (id < 0) return errno;
        semctl(id, 0, IPC_RMID);
        return 0;
    });
    report += attempt("make a POSIX message queue", [] {
        const std::string name = "vorrel-probe-" + std::to_string(getpid());
        const long fd = syscall(SYS_mq_open, name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600,
                                nullptr);
        // The queue may exist although the call failed (Landlock's EACCES came after it).
        syscall(SYS_mq_unlink, name.c_str());
        if (fd < 0) return errno;
        close(static_cast<int>(fd));
        return 0;
    });
    report += attempt("make a memory file", [] {
        const long fd = syscall(SYS_memfd_create, "vorrel-probe", 0U);
        if (fd < 0) return errno;
        close(static_cast<int>(fd));
        return 0;
    });
    report += attempt("make an unnamed temporary file", [] {
        const int fd = open(environment("TMPDIR").c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) return errno;
        close(fd);
        return 0;
    });
    report += attempt("allocate past the end of a file", [] {
        return onScratchFile("kept-size", [](int fd) {
            return resultOf(fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, 1 << 20));
        });
    });
    report += attempt("name another process as a descriptor's signal owner", [] {
        return onScratchFile("owned", [](int fd) { return resultOf(fcntl(fd, F_SETOWN, other())); });
    });
    report += attempt("name another process with F_SETOWN_EX", [] {
        return onScratchFile("owned-ex", [](int fd) {
            const f_owner_ex owner{F_OWNER_PID, other()};
            return resultOf(fcntl(fd, F_SETOWN_EX, &owner));
        });
    });
    report += attempt("choose a descriptor's signal", [] {
        return onScratchFile("signalled", [](int fd) { return resultOf(fcntl(fd, F_SETSIG, SIGKILL)); });
    });
    // Both requests are a socket's; without sockets, any descriptor, so that the call is made.
    for (const auto& [name, request] : {std::pair{"name a signal owner with FIOSETOWN", FIOSETOWN},
                                        std::pair{"name a signal owner with SIOCSPGRP", SIOCSPGRP}})
        report += attempt(name, [request = request] {
            int fds[2];
            if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0 &&
                pipe2(fds, O_CLOEXEC) != 0)
                return errno;
            const pid_t owner = other();
            const int error = resultOf(ioctl(fds[0], request, &owner));
            close(fds[0]);
            close(fds[1]);
            return error;
        });
    report += attempt("truncate a file opened for reading", [&input] {
        const int fd = open(input.c_str(), O_RDONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) return errno;
        close(fd);
        return 0;
    });
    report += attempt("open a file with openat2", [&input] {
        open_how how{};
        how.flags = O_RDONLY | O_CLOEXEC;
        const long fd = syscall(SYS_openat2, AT_FDCWD, input.c_str(), &how, sizeof how);
        if (fd < 0) return errno;
        close(static_cast<int>(fd));
        return 0;
    });
    report += attempt("watch file systems with fanotify", [] {
        const long fd = syscall(SYS_fanotify_init, FAN_CLASS_NOTIF | FAN_REPORT_FID, O_RDONLY);
        if (fd < 0) return errno;
        close(static_cast<int>(fd));
        return 0;
    });
    report += attempt("read file attributes by path (file_getattr)", [&input] {
        unsigned char attributes[24] = {};
        return resultOf(syscall(468, AT_FDCWD, input.c_str(), attributes, sizeof attributes, 0));
    });
    report += attempt("set file attributes by path (file_setattr)", [&input] {
        unsigned char attributes[24] = {};
        return resultOf(syscall(469, AT_FDCWD, input.c_str(), attributes, sizeof attributes, 0));
    });
    return report;
}

std::string attempts(const std::string& input) {
    std::string report = reachingAttempts(input);
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

// Starts threads on small stacks (64 KiB, so that the address-space limit is not what stops
// them) that wait until told to end, as many as it can up to 2,000.
std::mutex threadMutex;
std::condition_variable threadsDone;
bool threadsFinished = false;

void* waitForTheEnd(void*) {
    std::unique_lock lock(threadMutex);
    threadsDone.wait(lock, [] { return threadsFinished; });
    return nullptr;
}

std::string threads() {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    std::vector<pthread_t> started;
    for (int i = 0; i < 2000; ++i) {
        pthread_t thread;
        if (pthread_create(&thread, &attributes, waitForTheEnd, nullptr) != 0) break;
        started.push_back(thread);
    }
    const std::size_t count = started.size() + 1;
    {
        std::lock_guard lock(threadMutex);
        threadsFinished = true;
    }
    threadsDone.notify_all();
    for (pthread_t thread : started) pthread_join(thread, nullptr);
    return "threads: " + std::to_string(count) + "\n";
}

// Folders its owner may not list (0300) or enter (0000), made so from the start (chmod is
// refused): "hidden" (0300) holds a file of VORREL_PROBE_HOARD bytes and "inner" (0300), which
// holds a small file and "locked" (0000).
int hoard() {
    const std::string hidden = environment("TMPDIR") + "/hidden";
    umask(0);
    if (mkdir(hidden.c_str(), 0300) != 0 || mkdir((hidden + "/inner").c_str(), 0300) != 0)
        return 1;
    for (const auto& [name, bytes] :
         {std::pair{std::string("/hoard"), std::atoll(environment("VORREL_PROBE_HOARD").c_str())},
          std::pair{std::string("/inner/small"), 4096LL}}) {
        const int fd = open((hidden + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return 1;
        std::vector<char> block(1 << 20, 'x');
        for (long long left = bytes; left > 0;) {
            const auto chunk = static_cast<std::size_t>(std::min<long long>(left, 1 << 20));
            const ssize_t written = write(fd, block.data(), chunk);
            if (written <= 0) break;
            left -= written;
        }
        close(fd);
    }
    return mkdir((hidden + "/inner/locked").c_str(), 0) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = environment("VORREL_PROBE_MODE");
    if (mode == "spin") {
        volatile unsigned long counter = 0;
        while (true) counter = counter + 1;
    }
    if (mode == "orphan") {
        syscall(SYS_prctl, (1UL << 32) | PR_SET_PDEATHSIG, 0, 0, 0, 0);
        {
            std::ofstream out(outputPath(argc, argv), std::ios::binary | std::ios::trunc);
            out << getpid() << '\n';
        }
        while (true) pause();
    }
    if (mode == "hoard") {
        if (hoard() != 0) return 1;
        while (true) pause();  // until the write cap ends it
    }
    const std::string input = argc > 1 ? argv[argc - 1] : "";
    const std::string report = mode == "descriptors" ? descriptors()
                               : mode == "threads"   ? threads()
                                                     : attempts(input);
    std::ofstream out(outputPath(argc, argv), std::ios::binary | std::ios::trunc);
    out << report;
    return out ? 0 : 1;
}
