// Time to a document's first page in the preview window, against bare Ghostscript drawing that
// page alone, on the documents document_bench writes (300 pages of text and vector drawings, 20
// pages of images).
//  - ours: a PreviewViewController that asked for a first look (as the window does), from
//    preparePreviewOfFile() to its first page painted in the view at the window's size; then, in
//    the same run, to the whole PDF shown. The cache is emptied before each run, so every run
//    hashes, stages and converts; the first page runs beside the PDF's conversion;
//  - the first page's guarded run alone (FirstPage, without the window and the PDF beside it),
//    to tell the guard's cost from that of the conversion running beside it;
//  - bare: Ghostscript started with the first page's own arguments (FirstPage::arguments(), at
//    the same resolution), and with the PDF's arguments (GhostScript::documentArguments()).
// Ours and bare alternate within a round (who goes first alternates by round); the medians of
// the rounds are compared, wall time and processor time (this process and its reaped children:
// for the first page, the PDF's converter still runs and is not counted). Target: the first page
// within 1.2 times bare Ghostscript's.
//
// Usage: first_page_bench [rounds]   (default 5, after one round that warms the caches up).
// Runs offscreen; the table goes to standard output.

#include <QApplication>
#include <QEventLoop>
#include <QThreadPool>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Documents.h"
#include "Measure.h"
#include "preview/PreviewViewController.h"
#include "conversion/FirstPage.h"
#include "conversion/GhostScript.h"
#include "support/TempHome.h"

namespace {

namespace fs = std::filesystem;
using vorrel::bench::Cost;
using vorrel::bench::median;

const fs::path kConverter = fs::path(VORREL_PREFIX_DIR) / "libexec" / "vorrel" / "converter";

struct Stamp {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = vorrel::bench::cpuSeconds();
    Cost since(const Stamp& start) const {
        return {std::chrono::duration<double>(wall - start.wall).count(), cpu - start.cpu};
    }
};

// One preview with a first look: the costs to the first page painted and to the PDF shown.
std::pair<Cost, Cost> preview(const fs::path& source) {
    vorrel::PreviewViewController controller;
    QWidget* view = controller.view();
    QEventLoop loop;
    std::optional<Stamp> firstPage, whole;
    bool failed = false;
    controller.setInterimHandler([&] {
        view->resize(controller.preferredContentSize().toSize());
        view->grab();  // painted as the window would paint it
        firstPage.emplace();
    });
    const Stamp start;
    controller.preparePreviewOfFile(source, [&](std::optional<vorrel::quicklook::PreviewError> error) {
        failed = error.has_value();
        whole.emplace();
        loop.quit();
    });
    loop.exec();
    vorrel::PreviewViewController::workers().waitForDone();
    if (failed || !firstPage) {
        std::fprintf(stderr, "%s: %s\n", source.c_str(), failed ? "failed" : "no first page");
        std::exit(1);
    }
    return {firstPage->since(start), whole->since(start)};
}

void row(FILE* report, const std::string& what, const std::vector<Cost>& ours,
         const std::vector<Cost>& bare) {
    for (const auto& [name, field] : {std::pair{"wall", &Cost::wall}, std::pair{"cpu", &Cost::cpu}}) {
        const double a = median(ours, field), b = median(bare, field);
        std::fprintf(report, "%-40s %-5s %10.1f %10.1f %8.3f\n", what.c_str(), name, a * 1e3,
                     b * 1e3, a / b);
    }
}

int run(int rounds, FILE* report) {
    vorrel::test::TempHome home;
    const vorrel::GhostScript::TestOverride converter(kConverter);
    std::fprintf(report, "median of %d rounds, milliseconds\n%-40s %-5s %10s %10s %8s\n", rounds,
                 "", "", "ours", "bare gs", "ratio");
    const double dotsPerInch = 72.0 * qApp->devicePixelRatio();
    for (const auto& document : vorrel::bench::benchDocuments()) {
        const fs::path source = home.write(std::string(document.name) + ".ps", document.content);
        const vorrel::GhostScript conversion(source, vorrel::OutputFormat::PDF, 200);
        const fs::path barePng = home.root() / "bare.png", barePdf = home.root() / "bare.pdf";
        std::vector<Cost> oursFirst, oursWhole, bareFirst, bareWhole, alone;
        for (int round = 0; round <= rounds; ++round) {
            const auto ours = [&] {
                fs::remove(conversion.outputFileURL);
                return preview(source);
            };
            const auto bare = [&] {
                return std::pair{vorrel::bench::measure([&] {
                                     vorrel::bench::spawnAndWait(
                                         kConverter, vorrel::FirstPage::arguments(barePng, source,
                                                                                  dotsPerInch));
                                 }),
                                 vorrel::bench::measure([&] {
                                     vorrel::bench::spawnAndWait(
                                         kConverter, vorrel::GhostScript::documentArguments(
                                                         barePdf, source));
                                 })};
            };
            std::pair<Cost, Cost> a, b;
            if (round % 2 == 0) {
                a = ours();
                b = bare();
            } else {
                b = bare();
                a = ours();
            }
            const Cost guarded = vorrel::bench::measure([&] {
                const vorrel::FirstPage page(conversion, dotsPerInch, {});
            });
            if (round == 0) continue;
            alone.push_back(guarded);
            oursFirst.push_back(a.first);
            oursWhole.push_back(a.second);
            bareFirst.push_back(b.first);
            bareWhole.push_back(b.second);
        }
        row(report, std::string(document.name) + ", first page", oursFirst, bareFirst);
        row(report, std::string(document.name) + ", first page run alone", alone, bareFirst);
        row(report, std::string(document.name) + ", whole PDF", oursWhole, bareWhole);
    }
    std::fclose(report);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    FILE* report = vorrel::bench::reportStream();
    try {
        return run(rounds, report);
    } catch (const std::exception& error) {
        std::fprintf(report, "first_page_bench: %s\n", error.what());
        return 1;
    }
}
