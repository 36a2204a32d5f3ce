// stepping_bench [STEPS]: key press (Right) to the new drawing painted in the preview window,
// offscreen, with the real plug-in and Ghostscript, on EPS files it writes:
//   prefetched: each next file was made ahead (the step waits until it is ready);
//   cold:       nothing made ahead and nothing cached;
//   bare gs:    Ghostscript itself making the same PDF (pdfwrite, EPSCrop).
// Medians in milliseconds; the ratios against the cold step and bare Ghostscript.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Measure.h"
#include "quicklook/ExtensionRegistry.h"
#include "quicklook/PreviewSession.h"
#include "quicklook/QuickLookWindow.h"

namespace fs = std::filesystem;
using vorrel::quicklook::QuickLookWindow;

namespace {

// A drawing with some work in it (a few thousand strokes), different for each `tag`.
std::string drawing(int tag) {
    std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 400 300\n%%EndComments\n% " +
                      std::to_string(tag) + "\n0.2 setlinewidth\n";
    eps += "0 1 3999 { dup 7 mul 400 mod exch 13 mul 300 mod moveto 40 25 rlineto stroke } for\n";
    eps += "/Helvetica findfont 20 scalefont setfont 20 20 moveto (Figure " + std::to_string(tag) +
           ") show\nshowpage\n";
    return eps;
}

std::vector<fs::path> writeFiles(const fs::path& folder, const std::string& prefix, int count, int from) {
    fs::create_directories(folder);
    std::vector<fs::path> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(folder / (prefix + std::to_string(i) + ".eps"));
        std::ofstream(files.back()) << drawing(from + i);
    }
    return files;
}

bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 120000); }

// Key press to painted, in seconds.
double step(QuickLookWindow& window) {
    QSignalSpy painted(&window, &QuickLookWindow::contentPainted);
    const auto start = std::chrono::steady_clock::now();
    QTest::keyClick(&window, Qt::Key_Right);
    if (painted.isEmpty() && !painted.wait(120000)) {
        std::fprintf(stderr, "no paint\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    FILE* report = vorrel::bench::reportStream();
    const int steps = argc > 1 ? std::max(3, std::atoi(argv[1])) : 9;
    const fs::path root = fs::temp_directory_path() / ("stepping_bench-" + std::to_string(getpid()));
    fs::create_directories(root);
    setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int status = 0;
    {
        QApplication app(argc, argv);
        vorrel::quicklook::ExtensionRegistry registry(QStringLiteral(VORREL_PREFIX_DIR "/lib/vorrel"));
        std::vector<double> prefetched, cold, bare;
        {
            const auto files = writeFiles(root / "ahead", "ahead-", steps + 1, 0);
            QuickLookWindow window(registry, files);
            window.show();
            window.activateWindow();
            if (!QTest::qWaitForWindowActive(&window)) return 1;
            waitFor([&] { return window.session() && window.content() == window.session()->view(); });
            for (int i = 0; i < steps; ++i) {
                const fs::path next = files[window.currentIndex() + 1];
                if (!waitFor([&] { return window.isReadyAhead(next); })) return 1;
                prefetched.push_back(step(window));
            }
        }
        {
            const auto files = writeFiles(root / "cold", "cold-", steps + 1, 1000);
            QuickLookWindow window(registry, files);
            window.setPreparingAhead(false);
            window.show();
            window.activateWindow();
            if (!QTest::qWaitForWindowActive(&window)) return 1;
            waitFor([&] { return window.session() && window.content() == window.session()->view(); });
            for (int i = 0; i < steps; ++i) {
                if (!waitFor([&] { return window.content() == window.session()->view(); })) return 1;
                cold.push_back(step(window));
            }
        }
        const auto files = writeFiles(root / "bare", "bare-", steps, 2000);
        const fs::path gs = VORREL_PREFIX_DIR "/libexec/vorrel/converter";
        for (const auto& file : files) {
            const std::string out = (root / "bare.pdf").string();
            bare.push_back(vorrel::bench::measure([&] {
                               vorrel::bench::spawnAndWait(
                                   gs, {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                                        "-dEPSCrop", "-sOutputFile=" + out, file.string()});
                           }).wall);
        }
        const double ahead = median(prefetched), coldStep = median(cold), gsAlone = median(bare);
        std::fprintf(report, "key press to painted, median of %d steps:\n", steps);
        std::fprintf(report, "  prefetched neighbour  %8.1f ms  (%.3f x cold step)\n", ahead * 1e3, ahead / coldStep);
        std::fprintf(report, "  cold step             %8.1f ms  (%.3f x bare Ghostscript)\n", coldStep * 1e3, coldStep / gsAlone);
        std::fprintf(report, "  bare Ghostscript      %8.1f ms\n", gsAlone * 1e3);
        registry.shutDown(std::chrono::seconds(10));
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return status;
}
