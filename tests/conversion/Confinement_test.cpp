// The converter under guard: the probe converter tries every way out from inside the
// confinement, and from outside it in a control run; descriptors, permissions, leftovers.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

#include "platform/ChildProcess.h"
#include "platform/Sandbox.h"
#include "platform/AppGroup.h"
#include "conversion/ConversionFixture.h"
#include "cache/StaleFiles.h"
#include "platform/FileTimes.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;

const fs::path kProbe = VORREL_PROBE_CONVERTER;

// The attempts a probe reported as "succeeded" and as "refused".
struct ProbeReport {
    std::vector<std::string> succeeded, refused;
};

ProbeReport parse(const std::string& text) {
    ProbeReport report;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(": ");
        if (colon == std::string::npos) continue;
        (line.compare(colon + 2, 9, "succeeded") == 0 ? report.succeeded : report.refused)
            .push_back(line.substr(0, colon));
    }
    return report;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The attempts that reach beyond the converter (probe_converter.cpp, reachingAttempts()):
// refused whatever Landlock offers.
const std::vector<std::string> kReaching = {
    "clear the death signal with high option bits",
    "set another process's file size limit",
    "set another process's limit with high pid bits",
    "renice another process",
    "renice another process group",
    "set another process's processors",
    "set another process's scheduler",
    "set another process's scheduling parameters",
    "set another process's input/output priority",
    "make a shared memory segment",
    "attach another process's shared memory",
    "make a message queue",
    "make a semaphore set",
    "make a POSIX message queue",
    "make a memory file",
    "make an unnamed temporary file",
    "allocate past the end of a file",
    "name another process as a descriptor's signal owner",
    "name another process with F_SETOWN_EX",
    "choose a descriptor's signal",
    "name a signal owner with FIOSETOWN",
    "name a signal owner with SIOCSPGRP",
    "truncate a file opened for reading",
    "open a file with openat2",
    "watch file systems with fanotify",
    "read file attributes by path (file_getattr)",
    "set file attributes by path (file_setattr)",
};
// Attempts whose control run depends on the kernel (file_getattr and file_setattr came with
// 6.17) or on privileges (fanotify).
const std::set<std::string> kKernelDependent = {
    "read file attributes by path (file_getattr)",
    "set file attributes by path (file_setattr)",
    "watch file systems with fanotify",
};

// The key the probe makes its IPC objects with: this test process's own.
key_t probeKey() { return static_cast<key_t>(0x56520000 | (getpid() & 0xffff)); }

// The SysV IPC objects with the probe's key that exist now (shared memory, queues, semaphore
// sets), as "<kind> <id>".
std::set<std::string> ipcObjects() {
    std::set<std::string> ids;
    for (const char* kind : {"shm", "msg", "sem"}) {
        std::ifstream table(std::string("/proc/sysvipc/") + kind);
        std::string line;
        std::getline(table, line);  // the column names
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string key, id;
            fields >> key >> id;
            if (key == std::to_string(probeKey())) ids.insert(std::string(kind) + " " + id);
        }
    }
    return ids;
}

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

class Confinement : public test::ConversionTest {
protected:
    Confinement() {
        secret_ = home_.write("Documents/secret.txt", "private\n");
        target_ = home_.write("Documents/target.txt", "keep me\n");
        fs::permissions(target_, fs::perms::owner_read | fs::perms::owner_write);
        tmpFile_ = "/tmp/vorrel-probe-" + std::to_string(getpid()) + "-" +
                   home_.root().filename().string();
        // Another process of the user's, with a file size limit and priority of its own, and
        // another process's shared memory.
        other_.launch();
        const rlimit limited{kOtherFileSize, kOtherFileSize};
        prlimit(other_.processIdentifier(), RLIMIT_FSIZE, &limited, nullptr);
        segment_ = shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    }
    ~Confinement() override {
        if (segment_ >= 0) shmctl(segment_, IPC_RMID, nullptr);
        std::error_code ignored;
        fs::remove(tmpFile_, ignored);
        for (const char* name :
             {"VORREL_PROBE_MODE", "VORREL_PROBE_SECRET", "VORREL_PROBE_CONTAINER",
              "VORREL_PROBE_CACHE", "VORREL_PROBE_VICTIM", "VORREL_PROBE_TMP_FILE",
              "VORREL_PROBE_TARGET", "VORREL_PROBE_OTHER", "VORREL_PROBE_SHM", "VORREL_PROBE_IPC_KEY",
              "VORREL_PROBE_HOARD"})
            unsetenv(name);
    }

    // Runs the probe as the converter of a fresh document and returns what it reported.
    enum class Layers { all, none, withoutLandlock, landlockAbi2 };
    ProbeReport probe(Layers layers, const std::string& name) {
        const fs::path victim = previewFilesDirectory() / "another preview.pdf";
        home_.write(victim.lexically_relative(home_.root()), "someone else's preview");
        setenv("VORREL_PROBE_SECRET", secret_.c_str(), 1);
        setenv("VORREL_PROBE_CONTAINER", groupContainerURL()->c_str(), 1);
        setenv("VORREL_PROBE_CACHE", previewFilesDirectory().c_str(), 1);
        setenv("VORREL_PROBE_VICTIM", victim.c_str(), 1);
        setenv("VORREL_PROBE_TMP_FILE", tmpFile_.c_str(), 1);
        setenv("VORREL_PROBE_TARGET", target_.c_str(), 1);
        setenv("VORREL_PROBE_OTHER", std::to_string(other_.processIdentifier()).c_str(), 1);
        setenv("VORREL_PROBE_SHM", std::to_string(segment_).c_str(), 1);
        setenv("VORREL_PROBE_IPC_KEY", std::to_string(probeKey()).c_str(), 1);
        GhostScript::TestOverride useProbe(kProbe);
        if (layers == Layers::none) useProbe.unconfined();
        if (layers == Layers::withoutLandlock) useProbe.withoutLandlock();
        std::optional<platform::Sandbox::LandlockAbiCeiling> abi2;
        if (layers == Layers::landlockAbi2) abi2.emplace(2);
        const GhostScript conversion(source(name + ".eps", name), OutputFormat::PDF, 200);
        return parse(readFile(conversion.run()));
    }

    // What the user would notice of the probe's attempts on the target file.
    std::string targetState() const {
        char attribute[8] = {};
        const auto length = getxattr(target_.c_str(), "user.vorrel", attribute, sizeof attribute);
        return readFile(target_) + " mode " + std::to_string(modeOf(target_)) + " xattr " +
               (length > 0 ? std::string(attribute, static_cast<std::size_t>(length)) : "none");
    }

    // What the user would notice of the attempts on the other process.
    std::string otherState() const {
        rlimit limit{};
        prlimit(other_.processIdentifier(), RLIMIT_FSIZE, nullptr, &limit);
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(other_.processIdentifier()));
        return "file size " + std::to_string(limit.rlim_cur) + " nice " + std::to_string(nice);
    }

    static constexpr rlim_t kOtherFileSize = 1 << 30;
    fs::path secret_;
    fs::path target_;
    fs::path tmpFile_;
    platform::ChildProcess other_{"/bin/sleep", {"1000"}};
    int segment_ = -1;
};

TEST_F(Confinement, ProbeFindsNoWayOutAndDoesWithoutConfinement) {
    const auto& support = platform::Sandbox::support();
    if (support.landlockAbi < 6 || !support.seccomp)
        GTEST_SKIP() << "needs Landlock ABI 6+ and seccomp; this kernel offers Landlock ABI "
                     << support.landlockAbi << " (" << support.landlockMissing << "), seccomp "
                     << (support.seccomp ? "yes" : support.seccompMissing);

    const std::string untouched = targetState();
    const ProbeReport confined = probe(Layers::all, "confined");
    // Threads stay allowed: the interpreter may use them.
    EXPECT_EQ(confined.succeeded, std::vector<std::string>{"start a thread"});
    EXPECT_EQ(confined.refused.size(), 24u + kReaching.size());
    EXPECT_EQ(readFile(previewFilesDirectory() / "another preview.pdf"), "someone else's preview");
    EXPECT_EQ(readFile(secret_), "private\n");
    EXPECT_EQ(targetState(), untouched);
    EXPECT_FALSE(fs::exists(tmpFile_));

    // The same attempts without the confinement get through: the probe can tell.
    const ProbeReport control = probe(Layers::none, "control");
    for (const auto& attempt : control.refused) EXPECT_TRUE(kKernelDependent.count(attempt)) << attempt;
    std::vector<std::string> escaped = control.succeeded;
    std::erase(escaped, "start a thread");
    std::vector<std::string> expected = confined.refused;
    std::erase_if(expected, [&](const std::string& attempt) { return contains(control.refused, attempt); });
    EXPECT_EQ(escaped, expected);
    EXPECT_FALSE(fs::exists(previewFilesDirectory() / "another preview.pdf"));
    EXPECT_TRUE(fs::exists(tmpFile_));
    EXPECT_EQ(targetState(), " mode 420 xattr x");  // emptied, 0644, attribute set
}

// Debian 12's kernel has Landlock ABI 2: no truncation or signal rules. Whatever Landlock
// offers, the system-call filter alone refuses these.
TEST_F(Confinement, WithoutLandlockTheFilterStillRefusesMetadataSignalsAndProcesses) {
    const auto& support = platform::Sandbox::support();
    if (!support.seccomp) GTEST_SKIP() << "no seccomp here: " << support.seccompMissing;

    const std::string untouched = targetState();
    const ProbeReport report = probe(Layers::withoutLandlock, "filter only");
    for (const char* attempt :
         {"signal the parent", "signal the parent's thread", "open a pidfd of the parent",
          "start a process", "start a session", "move to a process group",
          "clear the death signal", "change a file's mode", "change a file's owner",
          "change a file's times", "set an extended attribute", "truncate a file by its path"})
        EXPECT_NE(std::find(report.refused.begin(), report.refused.end(), attempt),
                  report.refused.end())
            << attempt;
    EXPECT_EQ(targetState(), untouched);
    // Landlock's part is not there: the probe could read the user's file.
    EXPECT_NE(std::find(report.succeeded.begin(), report.succeeded.end(),
                        "read a file in the home"),
              report.succeeded.end());
}

TEST_F(Confinement, ConverterInheritsOnlyItsStandardStreams) {
    // A descriptor left open to children by mistake, as the headless mode's JSON channel was.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 3);
    setenv("VORREL_PROBE_MODE", "descriptors", 1);
    for (bool confined : {true, false}) {
        GhostScript::TestOverride useProbe(kProbe);
        if (!confined) useProbe.unconfined();
        const GhostScript conversion(source(confined ? "a.eps" : "b.eps", confined ? "a" : "b"),
                                     OutputFormat::PNG, 200);
        EXPECT_EQ(readFile(conversion.run()), "descriptors: 0 1 2\n") << "confined " << confined;
    }
    close(leaked);
}

TEST_F(Confinement, ContainerAndConvertedFilesAreTheUsersAloneWhateverTheUmask) {
    const mode_t previous = umask(0);
    GhostScript::TestOverride useReal(realConverter());
    const fs::path drawing =
        source("drawing.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n");
    const GhostScript conversion(drawing, OutputFormat::PNG, 200);
    const fs::path converted = conversion.run();
    umask(previous);
    EXPECT_EQ(modeOf(home_.cacheHome()), 0700u);
    EXPECT_EQ(modeOf(*groupContainerURL()), 0700u);
    EXPECT_EQ(modeOf(previewFilesDirectory()), 0700u);
    EXPECT_EQ(modeOf(scratchDirectory(previewFilesDirectory())), 0700u);
    EXPECT_EQ(modeOf(converted), 0600u);

    // A container made open by an older version is closed at the next lookup.
    chmod(groupContainerURL()->c_str(), 0755);
    EXPECT_EQ(modeOf(*groupContainerURL()), 0700u);
}

TEST_F(Confinement, LeftoversOfKilledRunsGoOnceOlderThanTwiceTheLimit) {
    const fs::path cache = previewFilesDirectory();
    const fs::path scratch = scratchDirectory(cache);
    const auto inCache = [&](const char* name) {
        return home_.write((cache / name).lexically_relative(home_.root()), "x");
    };
    const fs::path oldFile = inCache("inprogress-OLD.pdf");
    fs::create_directories(scratch / "vorrel-converter-OLD" / "inner");
    const fs::path kept = inCache("kept.pdf");
    // The OLD entries were made an hour ago.
    StaleAgeOverride aged([](const fs::path& path) -> std::optional<platform::Date> {
        if (path.filename().string().find("OLD") != std::string::npos)
            return std::chrono::system_clock::now() - std::chrono::hours(1);
        return platform::creationDate(path);
    });
    const fs::path young = inCache("inprogress-NEW.pdf");
    fs::create_directories(scratch / "vorrel-converter-NEW");

    // A limit of 1 s makes 2 s "stale": the first run of the process sweeps.
    GhostScript::TestOverride shortLimit(fake("launch-counter"), 1000ms, 100ms);
    GhostScript(source("next.eps", "next"), OutputFormat::PDF, 200).run();
    EXPECT_FALSE(fs::exists(oldFile));
    EXPECT_FALSE(fs::exists(scratch / "vorrel-converter-OLD"));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(scratch / "vorrel-converter-NEW"));
    EXPECT_TRUE(fs::exists(kept));  // not a leftover: the 14-day purge decides

    // Only once per process and folder, however old the rest has grown.
    StaleAgeOverride allOld([](const fs::path&) -> std::optional<platform::Date> {
        return std::chrono::system_clock::now() - std::chrono::hours(1);
    });
    GhostScript(source("later.eps", "later"), OutputFormat::PDF, 200).run();
    EXPECT_TRUE(fs::exists(young));
}

// Every attempt to reach another process, SysV IPC, message queues, memory files, unnamed or
// hidden space, signal owners, truncation on a read-only open, openat2, fanotify and the file
// attribute calls is refused by the filter alone: with Landlock, with Landlock at ABI 2 (as on
// Debian 12's 6.1 kernel) and without it. The same probe unconfined gets through, and no IPC
// object is left either way.
TEST_F(Confinement, NothingReachesOtherProcessesWhateverLandlockOffers) {
    const auto& support = platform::Sandbox::support();
    if (!support.seccomp) GTEST_SKIP() << "no seccomp here: " << support.seccompMissing;
    const std::set<std::string> ipcBefore = ipcObjects();
    ASSERT_EQ(ipcBefore, std::set<std::string>{});
    const std::string otherBefore = otherState();

    std::vector<std::pair<Layers, const char*>> variants = {
        {Layers::withoutLandlock, "without Landlock"}};
    if (support.landlockAbi >= 2) variants.push_back({Layers::landlockAbi2, "Landlock ABI 2"});
    if (support.landlockAbi > 0) variants.push_back({Layers::all, "all layers"});
    if (support.landlockAbi < 2)
        std::cout << "[  NOTE    ] no Landlock ABI 2 here (" << support.landlockMissing
                  << "): only the run without Landlock is tried\n";
    for (const auto& [layers, name] : variants) {
        SCOPED_TRACE(name);
        const ProbeReport report = probe(layers, name);
        for (const auto& attempt : kReaching) EXPECT_TRUE(contains(report.refused, attempt)) << attempt;
        EXPECT_TRUE(contains(report.succeeded, "start a thread"));
        EXPECT_EQ(otherState(), otherBefore);
        EXPECT_EQ(ipcObjects(), ipcBefore);
    }

    const ProbeReport control = probe(Layers::none, "control");
    for (const auto& attempt : kReaching) {
        if (kKernelDependent.count(attempt)) continue;
        EXPECT_TRUE(contains(control.succeeded, attempt)) << attempt;
    }
    EXPECT_EQ(otherState(), "file size " + std::to_string(1 << 29) + " nice 1");
    EXPECT_EQ(ipcObjects(), ipcBefore);  // the probe removes what it made
}

// A converter that hides what it writes in folders it made unlistable (0300) and unenterable
// (0000) is still counted by the write cap, and leaves nothing behind.
TEST_F(Confinement, HiddenFoldersAreCountedAndLeaveNothing) {
    constexpr std::uint64_t cap = 64ULL << 20;
    setenv("VORREL_PROBE_MODE", "hoard", 1);
    setenv("VORREL_PROBE_HOARD", std::to_string(cap + (16ULL << 20)).c_str(), 1);
    GhostScript::TestOverride useProbe(kProbe, 20000ms, 100ms);
    useProbe.writeCap(cap);
    const GhostScript conversion(source("hoard.eps", "hoard"), OutputFormat::PNG, 200);
    try {
        conversion.run();
        FAIL() << "run() succeeded";
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.kind(), ConversionError::Case::outputTooLarge);
    }
    EXPECT_EQ(cacheEntries(), std::vector<std::string>{});
    std::vector<std::string> left;
    std::error_code error;
    for (const auto& entry :
         fs::directory_iterator(scratchDirectory(previewFilesDirectory()), error))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{});
}

// The process state of `pid`: 'R', 'S', 'Z'..., or 0 when there is none.
char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

// A converter that clears its death signal (the option's high bits set) still dies with the
// previewer: the filter compares the option as the kernel reads it, 32 bits.
TEST_F(Confinement, AKilledPreviewerNeverLeavesAConverter) {
    const auto& support = platform::Sandbox::support();
    if (!support.seccomp) GTEST_SKIP() << "no seccomp here: " << support.seccompMissing;
    for (const char* layers : {"nolandlock", "all", "none"}) {
        SCOPED_TRACE(layers);
        const fs::path folder = home_.root() / (std::string("launch-") + layers);
        fs::create_directories(folder);
        const fs::path pidFile = folder / "pid";
        platform::ChildProcess previewer(VORREL_SANDBOX_LAUNCHER,
                                         {layers, folder.string(), kProbe.string(), "-o",
                                          pidFile.string()});
        previewer.setEnvironment("VORREL_PROBE_MODE", "orphan");
        previewer.discardOutput();
        previewer.launch();
        pid_t converter = 0;
        for (int waited = 0; waited < 500 && converter == 0; ++waited) {
            std::this_thread::sleep_for(10ms);
            std::ifstream(pidFile) >> converter;
        }
        ASSERT_GT(converter, 0) << "the probe did not start";
        ::kill(previewer.processIdentifier(), SIGKILL);
        previewer.wait();
        char state = processState(converter);
        for (int waited = 0; waited < 300 && state != 0 && state != 'Z'; ++waited) {
            std::this_thread::sleep_for(10ms);
            state = processState(converter);
        }
        if (std::string(layers) == "none") {
            // Unconfined, the cleared death signal lets it live on: the probe can tell.
            EXPECT_NE(state, 0);
            EXPECT_NE(state, 'Z');
            ::kill(converter, SIGKILL);
        } else {
            EXPECT_TRUE(state == 0 || state == 'Z') << "the converter outlived its previewer";
        }
    }
}

}  // namespace
}  // namespace vorrel
