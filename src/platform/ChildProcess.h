#pragma once
// ChildProcess: one program started with an argument vector, waited for with a deadline,
// terminated on request and always reaped.
//
// What happens:
//  1. launch() starts a child process and execs the executable with the given argument vector
//     (argv[0] is the executable's path; no shell is involved, so no argument is ever split or
//     expanded). The child borrows the caller's memory until it execs (vfork-like), so no page
//     is copied. Between its start and exec the child:
//       - takes default signal handling and an empty signal mask (not the caller's);
//       - moves into a process group of its own, so that terminate() also reaches any program
//         it starts;
//       - asks for SIGKILL when its parent dies (PR_SET_PDEATHSIG), and ends at once if the
//         parent died before that request. The kernel sends it when the *thread* that
//         launched the child ends, so launch from a thread that outlives the child (the one
//         that waits for it);
//       - reads its standard input from an empty pipe (end of file at once, whatever the
//         caller's standard input is);
//       - points its standard output and error at /dev/null when discardOutput() asked, or at
//         a pipe whose last bytes the parent keeps when captureOutput() asked;
//       - changes to the folder given with setWorkingDirectory(), if any;
//       - closes every descriptor but its standard input, output and error;
//       - takes niceness 10 and the idle I/O class when runInBackground() asked (best effort);
//       - applies the Sandbox given with confine(), if any.
//     It inherits standard output and error (unless redirected) and, without
//     setWorkingDirectory(), the working directory.
//     Its environment is built from scratch: the variables set with setEnvironment() and
//     nothing else of the caller's. A failure of any of these steps, or of exec, is reported
//     back to launch() through a close-on-exec pipe.
//  2. waitUntil(deadline) blocks until the child has ended or the deadline has passed
//     (a pidfd polled with the time left, reading the captured output meanwhile); wait()
//     blocks with no limit. When the child has ended, its process group is killed (SIGKILL)
//     before the child is reaped, so nothing it started outlives it, whether it succeeded or
//     not; then the child is reaped, its status kept, and the group waited for (up to a
//     second) until it is empty.
//  3. terminate(grace) sends SIGTERM to the child's process group, waits up to `grace` for
//     the child to end, then sends SIGKILL to the group, and reaps the child.
//  4. The destructor of a launched child that was not reaped yet kills its group and reaps
//     it: no child outlives its ChildProcess as a zombie.
//
// terminationStatus() is the exit status of a child that exited, and 128 + the signal number
// of one that a signal ended (so a killed child never reports 0).
//
// Errors: launch() throws std::system_error with the errno of the failed step (for example
// ENOENT or EACCES from exec) and the executable's path in its message. Waiting never throws.
//
// Thread-safety: a ChildProcess is used by one thread at a time, except signalGroup(), which
// any thread may call while another waits; different objects are independent.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Sandbox.h"

namespace vorrel::platform {

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    ChildProcess(std::filesystem::path executable, std::vector<std::string> arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Sets (or replaces) one variable of the child's environment. Call before launch().
    void setEnvironment(const std::string& name, const std::string& value);
    // The child's working directory (the caller's when not set). Call before launch().
    void setWorkingDirectory(std::filesystem::path folder) { workingDirectory_ = std::move(folder); }
    // Confines the child (see Sandbox.h). Call before launch().
    void confine(Sandbox sandbox) { sandbox_ = std::move(sandbox); }
    // Sends the child's standard output and error to /dev/null (kept inherited where
    // /dev/null cannot be opened). Call before launch().
    void discardOutput() { discardOutput_ = true; }
    // Reads the child's standard output and error through a pipe, keeping only their last
    // `keep` bytes (capturedOutput()); nothing of them reaches the caller's streams. Call
    // before launch().
    void captureOutput(std::size_t keep) { captureLimit_ = keep; }
    // Gives the child the processor and the disk only when nothing else wants them. Call
    // before launch().
    void runInBackground() { background_ = true; }
    // The last bytes (at most `keep`) the child wrote to its standard output and error, as
    // read so far; complete once the child has been reaped.
    const std::string& capturedOutput() const { return captured_; }

    // Starts the child. Throws std::system_error when it cannot be started. Call once.
    void launch();

    // True once the child has ended and been reaped.
    bool hasExited() const { return status_.has_value(); }
    // Blocks until the child ended (true) or `deadline` passed (false).
    bool waitUntil(Clock::time_point deadline);
    // Blocks until the child ended.
    void wait();
    // SIGTERM to the group, up to `grace` for the child to end, SIGKILL to the group, reap.
    // Does nothing when the child has already been reaped.
    void terminate(std::chrono::milliseconds grace);

    // Sends `signal` to the child's process group unless the child has been reaped. Any thread
    // may call it, also while another one waits; the waiting thread then sees the child end.
    void signalGroup(int signal);
    // signalGroup(SIGKILL).
    void killGroup();

    // Valid after the child has ended: exit status, or 128 + signal number.
    int terminationStatus() const { return status_.value_or(-1); }
    // The child's process id (0 before launch). After reaping it may belong to another
    // process; use it for diagnostics only.
    pid_t processIdentifier() const { return pid_; }

    const std::filesystem::path& executable() const { return executable_; }
    const std::vector<std::string>& arguments() const { return arguments_; }

private:
    // Blocks until the child has ended (true) or the deadline passed (false); no reaping.
    bool awaitExit(std::optional<Clock::time_point> deadline);
    // Kills the group, reaps the child, reads the rest of its output, waits for the group.
    void finish();
    void reap();
    // Reads what is ready on the output pipe; closes it at its end.
    void readOutput();

    std::filesystem::path executable_;
    std::vector<std::string> arguments_;
    std::map<std::string, std::string> environment_;
    std::optional<Sandbox> sandbox_;
    std::filesystem::path workingDirectory_;
    bool discardOutput_ = false;
    bool background_ = false;
    std::size_t captureLimit_ = 0;
    int outputPipe_ = -1;
    std::string captured_;
    std::mutex reapMutex_;  // a reaped child's pid may be reused: never signal it
    pid_t pid_ = 0;
    int pidfd_ = -1;
    std::optional<int> status_;
};

}  // namespace vorrel::platform
