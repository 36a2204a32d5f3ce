// The sandbox mechanism on its own: each layer with a real child, and what happens without it.
#include "platform/Sandbox.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ChildProcess.h"
#include "support/TempHome.h"

namespace vorrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kShell = "/bin/sh";

int runShell(const std::string& script, std::optional<Sandbox> sandbox) {
    ChildProcess child(kShell, {"-c", script});
    if (sandbox) child.confine(std::move(*sandbox));
    child.launch();
    if (!child.waitUntil(ChildProcess::Clock::now() + 60s)) child.terminate(100ms);
    return child.terminationStatus();
}

// Only the named layers, so that a test sees the one it is about.
Sandbox only(bool limits, bool landlock, bool seccomp, Sandbox::Limits values = {}) {
    Sandbox::Layers layers;
    layers.limits = limits;
    layers.landlock = landlock;
    layers.seccomp = seccomp;
    return Sandbox(values, layers);
}

Sandbox systemOnly() {
    Sandbox sandbox;
    for (const char* folder : {"/usr", "/bin", "/lib", "/lib64"})
        sandbox.allow(folder, Sandbox::Access::readExecute);
    return sandbox;
}

TEST(Sandbox, ProcessorTimeLimitEndsASpinningChild) {
    Sandbox::Limits limits;
    limits.processorTime = 1s;
    ChildProcess spinner(VORREL_PROBE_CONVERTER, {});
    spinner.setEnvironment("VORREL_PROBE_MODE", "spin");
    spinner.confine(only(true, false, false, limits));
    spinner.launch();
    ASSERT_TRUE(spinner.waitUntil(ChildProcess::Clock::now() + 120s)) << "still spinning";
    EXPECT_EQ(spinner.terminationStatus(), 128 + SIGXCPU);
}

TEST(Sandbox, LandlockLimitsFilesAndEachLayerCanBeLeftOut) {
    if (Sandbox::support().landlockAbi == 0)
        GTEST_SKIP() << "no Landlock: " << Sandbox::support().landlockMissing;
    test::TempHome home;
    const fs::path mine = home.write("mine.txt", "mine\n");
    const fs::path written = home.root() / "out" / "written.txt";
    fs::create_directories(written.parent_path());
    home.write("out/written.txt", "");

    Sandbox sandbox = systemOnly();
    sandbox.allow(written, Sandbox::Access::writeFile);
    const std::string read = "read line < '" + mine.string() + "'";
    const std::string write = "echo yes > '" + written.string() + "'";
    const std::string create = "echo no > '" + (written.parent_path() / "new").string() + "'";
    EXPECT_NE(runShell(read, sandbox), 0);
    EXPECT_EQ(runShell(write, sandbox), 0);
    EXPECT_EQ(test::readFile(written), "yes\n");
    EXPECT_NE(runShell(create, sandbox), 0);
    EXPECT_FALSE(fs::exists(written.parent_path() / "new"));

    // A program outside the allowed folders does not start: launch() reports exec's error.
    const fs::path script = home.write("tool.sh", "#!/bin/sh\nexit 0\n");
    fs::permissions(script, fs::perms::owner_all);
    ChildProcess outside(script, {});
    outside.confine(systemOnly());
    try {
        outside.launch();
        ADD_FAILURE() << "a program outside the sandbox ran";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code().value(), EACCES);
    }

    EXPECT_EQ(runShell(read, only(true, false, true)), 0);
}

TEST(Sandbox, FilterRefusesSocketsAndNamespaces) {
    if (!Sandbox::support().seccomp)
        GTEST_SKIP() << "no seccomp filter: " << Sandbox::support().seccompMissing;
    // unshare(1) comes with util-linux on every Debian system.
    const std::string unshare = "unshare --user true";
    EXPECT_EQ(runShell(unshare, only(true, false, false)), 0);
    EXPECT_NE(runShell(unshare, only(true, false, true)), 0);
}

// A call the filter does not know yet answers "not implemented" (the C library then falls
// back, as on an older kernel); file_setattr, the newest it knows, is refused; known calls pass.
TEST(Sandbox, CallsYoungerThanTheFilterAreNotImplemented) {
    if (!Sandbox::support().seccomp)
        GTEST_SKIP() << "no seccomp filter: " << Sandbox::support().seccompMissing;
    struct Case {
        int call;
        const char* error;  // the errno name perl's %! knows it by
    } cases[] = {{470, "ENOSYS"}, {1023, "ENOSYS"}, {469, "EPERM"}, {468, "EPERM"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const std::string script = "exec perl -e 'syscall(" + std::to_string(c.call) +
                                   ", 0, 0, 0, 0, 0); exit($!{" + c.error + "} ? 0 : 3)'";
        EXPECT_EQ(runShell(script, only(true, false, true)), 0);
    }
    EXPECT_EQ(runShell("exec perl -e 'exit(getppid() > 0 ? 0 : 3)'", only(true, false, true)), 0);
}

// Layer 5: RLIMIT_NPROC in a user namespace of the child's own counts its own threads only.
// RLIMIT_NPROC never binds root, so as root the launcher runs as another user (65534).
TEST(Sandbox, ThreadsAreBoundedWhereTheKernelLetsTheBoundHold) {
    char pattern[] = "/tmp/vorrel-threads-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    chmod(folder.c_str(), 0777);
    const auto threadsStarted = [&](const char* layers, std::string& said) {
        std::vector<std::string> arguments = {layers, folder.string(), VORREL_PROBE_CONVERTER,
                                              "-o", (folder / layers).string()};
        fs::path program = VORREL_SANDBOX_LAUNCHER;
        if (geteuid() == 0) {
            arguments.insert(arguments.begin(),
                             {"--reuid=65534", "--regid=65534", "--clear-groups", program.string()});
            program = "/usr/bin/setpriv";
        }
        ChildProcess launcher(program, arguments);
        launcher.setEnvironment("VORREL_PROBE_MODE", "threads");
        launcher.captureOutput(4096);
        launcher.launch();
        if (!launcher.waitUntil(ChildProcess::Clock::now() + 60s)) launcher.terminate(100ms);
        said = launcher.capturedOutput();
        std::string report = test::readFile(folder / layers);
        return launcher.terminationStatus() == 0 && report.rfind("threads: ", 0) == 0
                   ? std::stoi(report.substr(9))
                   : -1;
    };
    std::string said;
    const int bounded = threadsStarted("all", said);
    std::error_code ignored;
    if (said.rfind("thread bound: no", 0) == 0 || bounded < 0) {
        fs::remove_all(folder, ignored);
        GTEST_SKIP() << "the thread bound does not hold here: "
                     << (said.empty() ? "the launcher could not run as another user" : said);
    }
    EXPECT_GT(bounded, 0);
    EXPECT_LE(bounded, 32);
    const int unbounded = threadsStarted("none", said);
    fs::remove_all(folder, ignored);
    EXPECT_GT(unbounded, 32) << "without the layer the probe would be bounded anyway";
}

}  // namespace
}  // namespace vorrel::platform
