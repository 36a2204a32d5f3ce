// vorrel-thumbnailer run the way GNOME runs thumbnailers: under bubblewrap with every namespace
// unshared, dying with its parent, /usr (and of /etc only the loader's cache) and the build's
// prefix read-only, the input file alone of the user's files, only the output's folder writable
// and no home folder. Also
// inside an outer sandbox that forbids Landlock and seccomp: the converter's guard then goes
// without those layers and says so.
#include "thumbnailer/ThumbnailerFixture.h"

namespace vorrel::test {
namespace {

class SandboxedThumbnailer : public ThumbnailerTest {
protected:
    void SetUp() override {
        if (std::string(VORREL_BWRAP).empty()) GTEST_SKIP() << "bwrap is not installed";
        const Outcome probe = run(bwrap({"/usr/bin/true"}));
        if (probe.status != 0) GTEST_SKIP() << "bwrap cannot sandbox here: " << probe.err;
    }

    // The bwrap command around `command`, binding `bound` (read-only) and out_ (writable).
    std::vector<std::string> bwrap(const std::vector<std::string>& command,
                                   const std::vector<fs::path>& bound = {}) const {
        std::vector<std::string> line{VORREL_BWRAP, "--unshare-all", "--die-with-parent",
                                      "--ro-bind",  "/usr",          "/usr"};
        for (const char* file : {"/etc/ld.so.cache", "/etc/alternatives"})
            line.insert(line.end(), {"--ro-bind-try", file, file});
        for (const char* link : {"bin", "sbin", "lib", "lib64"})
            line.insert(line.end(),
                        {"--symlink", std::string("usr/") + link, std::string("/") + link});
        line.insert(line.end(), {"--proc", "/proc", "--dev", "/dev", "--ro-bind", VORREL_PREFIX_DIR,
                                 VORREL_PREFIX_DIR, "--bind", out_.string(), out_.string()});
        // Sanitizer builds read their suppressions from the source tree.
        const std::string suppressions = VORREL_SOURCE_DIR "/scripts/sanitizers";
        line.insert(line.end(), {"--ro-bind-try", suppressions, suppressions});
        for (const auto& path : bound)
            line.insert(line.end(), {"--ro-bind", path.string(), path.string()});
        line.insert(line.end(), {"--chdir", "/"});
        line.insert(line.end(), command.begin(), command.end());
        return line;
    }
};

TEST_F(SandboxedThumbnailer, WorksAsGnomeRunsIt) {
    const BoundingBox box{-40.5, -43.25, 41, 43};
    const fs::path input =
        document("drawing with spaces ä.eps",
                 "%!PS-Adobe-3.0\n" + boxLine(box) + corners(box, 12) + "showpage\n");
    const fs::path output = out_ / "thumbnail.png";
    const Outcome outcome =
        run(bwrap({kThumbnailer.string(), "-s", "128", input.string(), output.string()}, {input}));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(thumbnailProblem(output, 128, box, box, 12), "");

    // Text: Ghostscript finds its fonts in /usr alone.
    const fs::path text = document("text.eps", eps::text());
    const Outcome textOutcome = run(bwrap(
        {kThumbnailer.string(), "-s", "256", text.string(), (out_ / "text.png").string()}, {text}));
    EXPECT_EQ(textOutcome.status, 0) << textOutcome.err;
    EXPECT_EQ(thumbnailProblem(out_ / "text.png", 256, {0, 0, 200, 100}), "");

    EXPECT_EQ(entries(out_), (std::vector<std::string>{"text.png", "thumbnail.png"}));
    EXPECT_EQ(entries(home_), std::vector<std::string>{});
}

TEST_F(SandboxedThumbnailer, WorksWhereAnOuterSandboxForbidsTheKernelLayers) {
    const BoundingBox box{0, 0, 300, 100};
    const fs::path input = document(
        "wide.eps", "%!PS-Adobe-3.0 EPSF-3.0\n" + boxLine(box) + corners(box, 20) + "showpage\n");
    const fs::path output = out_ / "thumbnail.png";
    const Outcome outcome = run(bwrap({VORREL_OUTER_SANDBOX, kThumbnailer.string(), "--verbose",
                                       "-s", "256", input.string(), output.string()},
                                      {input, VORREL_OUTER_SANDBOX}));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(thumbnailProblem(output, 256, box, box, 20), "");
    EXPECT_EQ(entries(out_), std::vector<std::string>{"thumbnail.png"});
    // One line for each layer the guard went without.
    EXPECT_NE(outcome.out.find("Converter runs without file-system confinement: the kernel has "
                               "no Landlock"),
              std::string::npos)
        << outcome.out;
    EXPECT_NE(outcome.out.find("Converter runs without system-call filter"), std::string::npos)
        << outcome.out;
}

}  // namespace
}  // namespace vorrel::test
