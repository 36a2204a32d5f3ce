// The converter under guard: the probe converter tries every way out from inside the
// confinement, and from outside it in a control run; descriptors, permissions, leftovers.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

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
    }
    ~Confinement() override {
        std::error_code ignored;
        fs::remove(tmpFile_, ignored);
        for (const char* name :
             {"VORREL_PROBE_MODE", "VORREL_PROBE_SECRET", "VORREL_PROBE_CONTAINER",
              "VORREL_PROBE_CACHE", "VORREL_PROBE_VICTIM", "VORREL_PROBE_TMP_FILE",
              "VORREL_PROBE_TARGET"})
            unsetenv(name);
    }

    // Runs the probe as the converter of a fresh document and returns what it reported.
    enum class Layers { all, none, withoutLandlock };
    ProbeReport probe(Layers layers, const std::string& name) {
        const fs::path victim = previewFilesDirectory() / "another preview.pdf";
        home_.write(victim.lexically_relative(home_.root()), "someone else's preview");
        setenv("VORREL_PROBE_SECRET", secret_.c_str(), 1);
        setenv("VORREL_PROBE_CONTAINER", groupContainerURL()->c_str(), 1);
        setenv("VORREL_PROBE_CACHE", previewFilesDirectory().c_str(), 1);
        setenv("VORREL_PROBE_VICTIM", victim.c_str(), 1);
        setenv("VORREL_PROBE_TMP_FILE", tmpFile_.c_str(), 1);
        setenv("VORREL_PROBE_TARGET", target_.c_str(), 1);
        GhostScript::TestOverride useProbe(kProbe);
        if (layers == Layers::none) useProbe.unconfined();
        if (layers == Layers::withoutLandlock) useProbe.withoutLandlock();
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

    fs::path secret_;
    fs::path target_;
    fs::path tmpFile_;
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
    EXPECT_EQ(confined.refused.size(), 24u);
    EXPECT_EQ(readFile(previewFilesDirectory() / "another preview.pdf"), "someone else's preview");
    EXPECT_EQ(readFile(secret_), "private\n");
    EXPECT_EQ(targetState(), untouched);
    EXPECT_FALSE(fs::exists(tmpFile_));

    // The same attempts without the confinement get through: the probe can tell.
    const ProbeReport control = probe(Layers::none, "control");
    EXPECT_EQ(control.refused, std::vector<std::string>{});
    std::vector<std::string> escaped = control.succeeded;
    std::erase(escaped, "start a thread");
    EXPECT_EQ(escaped, confined.refused);
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

}  // namespace
}  // namespace vorrel
