// The converter under guard: the probe converter tries every way out from inside the
// confinement, and from outside it in a control run; descriptors, permissions, leftovers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "platform/Sandbox.h"
#include "shared/AppGroup.h"
#include "shared/ConversionFixture.h"
#include "shared/StaleFiles.h"

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
        tmpFile_ = "/tmp/vorrel-probe-" + std::to_string(getpid()) + "-" +
                   home_.root().filename().string();
    }
    ~Confinement() override {
        std::error_code ignored;
        fs::remove(tmpFile_, ignored);
        for (const char* name :
             {"VORREL_PROBE_MODE", "VORREL_PROBE_SECRET", "VORREL_PROBE_CONTAINER",
              "VORREL_PROBE_CACHE", "VORREL_PROBE_VICTIM", "VORREL_PROBE_TMP_FILE"})
            unsetenv(name);
    }

    // Runs the probe as the converter of a fresh document and returns what it reported.
    ProbeReport probe(bool confined, const std::string& name) {
        const fs::path victim = previewFilesDirectory() / "another preview.pdf";
        home_.write(victim.lexically_relative(home_.root()), "someone else's preview");
        setenv("VORREL_PROBE_SECRET", secret_.c_str(), 1);
        setenv("VORREL_PROBE_CONTAINER", groupContainerURL()->c_str(), 1);
        setenv("VORREL_PROBE_CACHE", previewFilesDirectory().c_str(), 1);
        setenv("VORREL_PROBE_VICTIM", victim.c_str(), 1);
        setenv("VORREL_PROBE_TMP_FILE", tmpFile_.c_str(), 1);
        GhostScript::TestOverride useProbe(kProbe);
        if (!confined) useProbe.unconfined();
        const GhostScript conversion(source(name + ".eps", name), OutputFormat::PDF, 200);
        return parse(readFile(conversion.run()));
    }

    fs::path secret_;
    fs::path tmpFile_;
};

TEST_F(Confinement, ProbeFindsNoWayOutAndDoesWithoutConfinement) {
    const auto& support = platform::Sandbox::support();
    if (support.landlockAbi < 6 || !support.seccomp)
        GTEST_SKIP() << "needs Landlock ABI 6+ and seccomp; this kernel offers Landlock ABI "
                     << support.landlockAbi << " (" << support.landlockMissing << "), seccomp "
                     << (support.seccomp ? "yes" : support.seccompMissing);

    const ProbeReport confined = probe(true, "confined");
    EXPECT_EQ(confined.succeeded, std::vector<std::string>{});
    EXPECT_EQ(confined.refused.size(), 13u);
    EXPECT_EQ(readFile(previewFilesDirectory() / "another preview.pdf"), "someone else's preview");
    EXPECT_EQ(readFile(secret_), "private\n");
    EXPECT_FALSE(fs::exists(tmpFile_));

    // The same attempts without the confinement get through: the probe can tell.
    const ProbeReport control = probe(false, "control");
    EXPECT_EQ(control.refused, std::vector<std::string>{});
    EXPECT_EQ(control.succeeded, confined.refused);
    EXPECT_FALSE(fs::exists(previewFilesDirectory() / "another preview.pdf"));
    EXPECT_TRUE(fs::exists(tmpFile_));
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
    std::this_thread::sleep_for(2100ms);
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

    // Only once per process and folder.
    std::this_thread::sleep_for(2100ms);
    GhostScript(source("later.eps", "later"), OutputFormat::PDF, 200).run();
    EXPECT_TRUE(fs::exists(young));
}

}  // namespace
}  // namespace vorrel
