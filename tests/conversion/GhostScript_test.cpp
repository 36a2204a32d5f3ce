// Conversions through fake converters: failures, time-outs, slots, races, the private TMPDIR.
#include "conversion/GhostScript.h"

#include <QImage>
#include <QPdfDocument>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/Sha256.h"
#include "conversion/ConversionFixture.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;

class GhostScriptTest : public test::ConversionTest {};

// Splits a NUL-terminated list of items.
std::vector<std::string> splitNul(const std::string& text) {
    std::vector<std::string> items;
    for (std::size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos;
         start = end + 1)
        items.push_back(text.substr(start, end - start));
    return items;
}

std::string sha256Of(const std::string& bytes) {
    return platform::sha256Hex(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    return files;
}

TEST_F(GhostScriptTest, FailuresRemoveEverythingLogAndReleaseTheSlot) {
    struct Case {
        fs::path converter;
        std::string text;
        bool typed;  // a ConversionError (else the launch error)
    } cases[] = {
        {fake("exit-1"), "Ghostscript exited with status 1.", true},
        {fake("exit-0-without-output"), "Ghostscript exited without producing an output file.",
         true},
        {home_.root() / "no converter here", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.converter);
        GhostScript::TestOverride useFake(c.converter);
        log_->clear();
        const GhostScript conversion(source("failing.eps"), OutputFormat::PDF, 200);
        std::string thrown;
        try {
            conversion.run();
            ADD_FAILURE() << "run() succeeded";
        } catch (const ConversionError& error) {
            EXPECT_TRUE(c.typed);
            thrown = error.what();
            EXPECT_EQ(thrown, c.text);
        } catch (const std::system_error& error) {
            EXPECT_FALSE(c.typed);
            EXPECT_EQ(error.code().value(), ENOENT);
            thrown = error.what();
        }
        EXPECT_EQ(cacheEntries(), std::vector<std::string>{});
        EXPECT_EQ(debugMessages("run()"), std::vector<std::string>{thrown});
        EXPECT_TRUE(allSlotsFree());
    }
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(GhostScriptTest, TimeOutTerminatesReapsAndFreesTheSlot) {
    for (const char* converter : {"hang", "ignore-sigterm"}) {
        SCOPED_TRACE(converter);
        const fs::path record = records() / (std::string(converter) + ".pid");
        setenv("VORREL_FAKE_RECORD", record.c_str(), 1);
        {
            GhostScript::TestOverride useFake(fake(converter), 300ms, 300ms);
            useFake.allowWriting(records());
            const GhostScript conversion(source("slow.eps"), OutputFormat::PDF, 200);
            try {
                conversion.run();
                ADD_FAILURE() << "run() succeeded";
            } catch (const ConversionError& error) {
                EXPECT_EQ(error.kind(), ConversionError::Case::timedOut);
                EXPECT_STREQ(error.what(), "Ghostscript did not finish within 60 seconds.");
            }
        }
        const pid_t pid = std::atoi(readFile(record).c_str());
        ASSERT_GT(pid, 0) << "the fake converter did not start";
        EXPECT_TRUE(noChildrenLeft());
        EXPECT_EQ(cacheEntries(), std::vector<std::string>{});
        EXPECT_TRUE(allSlotsFree());
    }
    // The next conversion gets a slot and succeeds.
    const fs::path launches = records() / "launches";
    fs::create_directories(launches);
    setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
    GhostScript::TestOverride useFake(fake("launch-counter"));
    useFake.allowWriting(records());
    const GhostScript next(source("next.eps"), OutputFormat::PDF, 200);
    EXPECT_EQ(next.run(), next.outputFileURL);
    EXPECT_TRUE(fs::exists(next.outputFileURL));
}

// Ghostscript expands wildcards in file names and reads options from them: the user's path
// never reaches it, only a private copy, or a link to the file, under a fixed name.
TEST_F(GhostScriptTest, ConverterReadsAPrivateCopyNeverTheUsersPath) {
    const fs::path launches = records() / "launches";
    fs::create_directories(launches);
    setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
    int n = 0;
    for (const bool inPlace : {false, true})
    for (const char* name : {"*", "-dNOSAFER.eps", "new\nline \x1b]0;title\x07.eps"}) {
        SCOPED_TRACE(std::string(name) + (inPlace ? ", in place" : ", copied"));
        GhostScript::TestOverride useFake(fake("launch-counter"));
        useFake.allowWriting(records());
        if (inPlace) useFake.readingInPlace();
        for (const auto& entry : fs::directory_iterator(launches)) fs::remove(entry.path());
        const fs::path file =
            source(fs::path("a folder") / name,
                   std::string("%!PS-Adobe-3.0 EPSF-3.0\n% drawing ") + name + std::to_string(++n));
        const GhostScript conversion(file, OutputFormat::PNG, 200);
        const fs::path result = conversion.run();

        EXPECT_EQ(result, conversion.outputFileURL);
        const auto records = filesIn(launches);
        ASSERT_EQ(records.size(), 1u);
        const auto items = splitNul(readFile(records.front()));
        ASSERT_EQ(items.size(), 10u);
        for (const auto& item : items) {
            EXPECT_EQ(item.find(name), std::string::npos) << item;
            EXPECT_EQ(item.find("a folder"), std::string::npos) << item;
        }
        EXPECT_EQ(items[7], "-o");
        EXPECT_TRUE(std::regex_match(fs::path(items[8]).filename().string(),
                                     std::regex("inprogress-[0-9A-F-]{36}\\.png")));
        const fs::path input = items[9];
        EXPECT_EQ(input.filename(), "source");
        EXPECT_EQ(input.parent_path().parent_path(), scratchDirectory(previewFilesDirectory()));
        EXPECT_EQ(readFile(result), "converted " + input.string() + "\n");
        EXPECT_FALSE(fs::exists(input.parent_path()));  // the copy goes with its run
    }
}

// A converter taken over by its document starts a process and exits 0: nothing of it may go
// on running (writing into the cache, say) once the run is over.
TEST_F(GhostScriptTest, NothingTheConverterStartedOutlivesASuccessfulRun) {
    const fs::path record = records() / "child";
    setenv("VORREL_FAKE_RECORD", record.c_str(), 1);
    GhostScript::TestOverride useFake(fake("leave-child"));
    useFake.allowWriting(records());
    GhostScript(source("drawing.eps", "drawing"), OutputFormat::PDF, 200).run();
    const pid_t child = std::stoi(readFile(record));
    // Gone, or a zombie waiting for whoever inherited it: either way it runs no more.
    std::string state;
    std::ifstream(("/proc/" + std::to_string(child) + "/stat").c_str()) >> state >> state >> state;
    EXPECT_TRUE(state.empty() || state == "Z") << "process " << child << " is " << state;
}

// Ghostscript reads "(%stdin)" and GS_OPTIONS: neither may come from the previewer.
TEST_F(GhostScriptTest, ConverterStartsWithNoInputAndAnEnvironmentOfItsOwn) {
    setenv("VORREL_FAKE_RECORD", records().c_str(), 1);
    setenv("GS_OPTIONS", "-dNOSAFER", 1);
    setenv("GS_LIB", "/home/user/evil", 1);
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    ASSERT_EQ(write(input[1], "piped into the previewer", 24), 24);
    close(input[1]);
    const int savedInput = dup(STDIN_FILENO);
    dup2(input[0], STDIN_FILENO);
    close(input[0]);
    {
        GhostScript::TestOverride useFake(fake("start-recorder"));
        useFake.allowWriting(records());
        GhostScript(source("drawing.eps", "drawing"), OutputFormat::PDF, 200).run();
    }
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    unsetenv("GS_OPTIONS");
    unsetenv("GS_LIB");

    EXPECT_EQ(readFile(records() / "input"), "");
    std::vector<std::string> names;
    std::istringstream environment(readFile(records() / "environment"));
    for (std::string line; std::getline(environment, line);)
        if (!line.starts_with("VORREL_FAKE_")) names.push_back(line.substr(0, line.find('=')));
    std::sort(names.begin(), names.end());
    // PWD is the shell's own.
    EXPECT_EQ(names, (std::vector<std::string>{"HOME", "LANG", "PATH", "PWD", "TMPDIR"}));
}

// An editor saving while the user looks: the file changes between the key and the conversion.
TEST_F(GhostScriptTest, AFileRewrittenDuringTheLookIsNeverCachedUnderTheOldKey) {
    const std::string genuine = "%!PS genuine drawing\n";
    const std::string other = "%!PS the other drawing\n";
    const fs::path file = source("drawing.eps", genuine);
    GhostScript::TestOverride useFake(fake("copy-input"));
    useFake.beforeStaging([&] { home_.write("drawing.eps", other); });

    const GhostScript look(file, OutputFormat::PDF, 200);
    const fs::path shown = look.run();
    EXPECT_EQ(readFile(shown), other);
    EXPECT_EQ(shown.filename().string(), sha256Of(other) + ".pdf");
    EXPECT_FALSE(fs::exists(look.outputFileURL));  // the genuine content's key stays free

    // A later look at an untouched genuine copy shows the genuine drawing.
    useFake.beforeStaging({});
    const fs::path copy = source("copy of drawing.eps", genuine);
    EXPECT_EQ(readFile(GhostScript(copy, OutputFormat::PDF, 200).run()), genuine);
}

TEST_F(GhostScriptTest, FloodingConverterStopsAtTheWriteCapWithBoundedMessages) {
    GhostScript::TestOverride useFake(fake("flood"));
    useFake.writeCap(16 << 20);
    const GhostScript conversion(source("flood.eps", "flood"), OutputFormat::PNG, 200);
    try {
        conversion.run();
        FAIL() << "run() succeeded";
    } catch (const ConversionError& error) {
        EXPECT_EQ(std::string(error.what()), "Ghostscript wrote more than 1 GiB.");
    }
    std::vector<std::string> messages;
    for (const auto& message : debugMessages("run()"))
        if (message.starts_with("Converter messages: ")) messages.push_back(message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front(), "Converter messages: " + std::string(64 * 1024, 'x'));
    EXPECT_EQ(cacheEntries(), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(scratchDirectory(previewFilesDirectory())));
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(GhostScriptTest, EveryRunHasItsOwnPrivateTemporaryFolder) {
    const fs::path record = records() / "tmpdirs";
    setenv("VORREL_FAKE_RECORD", record.c_str(), 1);
    GhostScript::TestOverride useFake(fake("tmpdir-recorder"));
    useFake.allowWriting(records());
    const char* parentTmp = std::getenv("TMPDIR");
    for (const char* status : {"0", "3"}) {
        setenv("VORREL_FAKE_STATUS", status, 1);
        const GhostScript conversion(source(std::string("t") + status + ".eps", status),
                                     OutputFormat::PDF, 200);
        try {
            conversion.run();
        } catch (const ConversionError&) {
        }
    }
    std::istringstream lines(readFile(record));
    std::vector<std::string> folders;
    for (std::string line; std::getline(lines, line);) {
        const auto bar = line.find('|');
        ASSERT_NE(bar, std::string::npos);
        EXPECT_EQ(line.substr(bar + 1), "700") << line;
        folders.push_back(line.substr(0, bar));
    }
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_NE(folders[0], folders[1]);
    for (const auto& folder : folders) {
        EXPECT_FALSE(fs::exists(folder)) << folder << " was left behind";
        if (parentTmp) {
            EXPECT_NE(folder, parentTmp);
        }
    }
}

TEST_F(GhostScriptTest, NeverMoreThanFourConvertersAtOnce) {
    const fs::path record = records() / "times";
    setenv("VORREL_FAKE_RECORD", record.c_str(), 1);
    setenv("VORREL_FAKE_DELAY", "0.4", 1);
    GhostScript::TestOverride useFake(fake("slow-recorder"));
    useFake.allowWriting(records());

    std::vector<std::future<fs::path>> results;
    for (int i = 0; i < 6; ++i) {
        const fs::path file =
            source("s" + std::to_string(i) + ".eps", "content " + std::to_string(i));
        results.push_back(std::async(std::launch::async, [file] {
            return GhostScript(file, OutputFormat::PDF, 200).run();
        }));
    }
    for (auto& result : results) EXPECT_TRUE(fs::exists(result.get()));

    // +1 at each start, -1 at each end; at equal times an end comes first.
    std::vector<std::pair<long long, int>> events;
    std::istringstream lines(readFile(record));
    for (std::string kind; lines >> kind;) {
        long long time = 0;
        lines >> time;
        events.emplace_back(time, kind == "start" ? 1 : -1);
    }
    ASSERT_EQ(events.size(), 12u);
    std::sort(events.begin(), events.end());
    int running = 0, most = 0;
    for (const auto& [time, change] : events) most = std::max(most, running += change);
    EXPECT_LE(most, 4);
    EXPECT_GE(most, 2);  // the runs did overlap, so the limit was put to the test
    EXPECT_EQ(cacheEntries().size(), 6u);
}

TEST_F(GhostScriptTest, CacheHitNeedsNoSlot) {
    const fs::path launches = records() / "launches";
    fs::create_directories(launches);
    setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
    GhostScript::TestOverride useFake(fake("launch-counter"));
    useFake.allowWriting(records());
    const GhostScript conversion(source("cached.eps"), OutputFormat::PNG, 200);
    home_.write(conversion.outputFileURL.lexically_relative(home_.root()), "earlier result");

    for (int i = 0; i < 4; ++i) GhostScript::conversionSlots().acquire();
    auto result = std::async(std::launch::async, [&] { return conversion.run(); });
    const bool returned = result.wait_for(20s) == std::future_status::ready;
    GhostScript::conversionSlots().release(4);  // lets a blocked run() end before we fail
    ASSERT_TRUE(returned) << "a cache hit waited for a slot";
    EXPECT_EQ(result.get(), conversion.outputFileURL);
    EXPECT_EQ(readFile(conversion.outputFileURL), "earlier result");
    EXPECT_TRUE(filesIn(launches).empty());
}

TEST_F(GhostScriptTest, EmptyFileFailsEvenWithItsBlankPageCached) {
    GhostScript::TestOverride useFake(fake("exit-0-without-output"));
    for (OutputFormat format : {OutputFormat::PDF, OutputFormat::PNG}) {
        log_->clear();
        const GhostScript conversion(source("empty.eps", ""), format, 200);
        // What an older version cached under the digest of no bytes: a blank page.
        home_.write(conversion.outputFileURL.lexically_relative(home_.root()), "blank page");
        EXPECT_THROW(conversion.run(), ConversionError);
        EXPECT_EQ(debugMessages("run()"), std::vector<std::string>{"The EPS file is empty."});
    }
}

TEST_F(GhostScriptTest, SimultaneousRequestsForOneContentConvertItOnce) {
    const fs::path launches = records() / "launches";
    fs::create_directories(launches);
    setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
    setenv("VORREL_FAKE_DELAY", "0.3", 1);
    GhostScript::TestOverride useFake(fake("launch-counter"));
    useFake.allowWriting(records());

    const std::string content = "%!PS-Adobe-3.0 EPSF-3.0\nsame\n";
    const GhostScript first(source("one/first.eps", content), OutputFormat::PDF, 200);
    const GhostScript second(source("two/second copy.eps", content), OutputFormat::PDF, 200);
    ASSERT_EQ(first.outputFileURL, second.outputFileURL);
    auto a = std::async(std::launch::async, [&] { return first.run(); });
    auto b = std::async(std::launch::async, [&] { return second.run(); });
    EXPECT_EQ(a.get(), first.outputFileURL);
    EXPECT_EQ(b.get(), first.outputFileURL);
    EXPECT_EQ(filesIn(launches).size(), 1u);  // one converted; the other waited for its file
    EXPECT_EQ(cacheEntries(), std::vector<std::string>{first.outputFileURL.filename().string()});
}

TEST_F(GhostScriptTest, FinalPlaceTakenDuringTheRun) {
    // The fake plays the other conversion too, writing into the cache folder, which the
    // confinement would forbid.
    GhostScript::TestOverride useFake(fake("final-appears"));
    useFake.unconfined();
    const GhostScript conversion(source("raced.eps"), OutputFormat::PDF, 200);
    const std::string name = conversion.outputFileURL.filename().string();
    setenv("VORREL_FAKE_FINAL_PATH", conversion.outputFileURL.c_str(), 1);

    // Another conversion finished first: ours is discarded, theirs is the result.
    setenv("VORREL_FAKE_FINAL_KIND", "file", 1);
    EXPECT_EQ(conversion.run(), conversion.outputFileURL);
    EXPECT_EQ(readFile(conversion.outputFileURL), "placed by another conversion\n");
    EXPECT_EQ(cacheEntries(), std::vector<std::string>{name});

    // Something that is no file blocks the move: it is never replaced, and the run fails.
    fs::remove(conversion.outputFileURL);
    setenv("VORREL_FAKE_FINAL_KIND", "dangling", 1);
    try {
        conversion.run();
        ADD_FAILURE() << "run() succeeded";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code().value(), EEXIST);
        EXPECT_EQ(debugMessages("run()"), std::vector<std::string>{error.what()});
    }
    EXPECT_TRUE(fs::is_symlink(conversion.outputFileURL));
    EXPECT_EQ(cacheEntries(), std::vector<std::string>{name});
    EXPECT_TRUE(allSlotsFree());
    unsetenv("VORREL_FAKE_FINAL_PATH");
    unsetenv("VORREL_FAKE_FINAL_KIND");
}

TEST_F(GhostScriptTest, CacheLocationFailuresAreLoggedAndRethrown) {
    // An unreadable source.
    EXPECT_THROW(GhostScript(home_.root() / "missing.eps", OutputFormat::PDF, 200),
                 std::system_error);
    // No group container: no absolute base folder can be formed.
    const fs::path file = source("fine.eps");
    setenv("XDG_CACHE_HOME", "relative", 1);
    setenv("HOME", "relative", 1);
    EXPECT_THROW(GhostScript(file, OutputFormat::PDF, 200), ContainerUnavailableError);
    EXPECT_EQ(debugMessages("init(at:to:resolution:)").size(), 2u);
    EXPECT_TRUE(debugMessages("run()").empty());
}

// What the plain drawing arguments make the real Ghostscript write: a PNG with a transparent
// background at the resolution asked for, a PDF of the drawing's size at an output path with
// "%" in it (Ghostscript reads output names as templates), and input names that look like
// options read as the files they name.
TEST_F(GhostScriptTest, PlainArgumentsMakeWhatTheyPromise) {
    const auto convert = [](const std::vector<std::string>& arguments) {
        platform::ChildProcess gs(realConverter(), arguments);
        gs.captureOutput(4096);
        gs.launch();
        gs.wait();
        EXPECT_EQ(gs.terminationStatus(), 0) << gs.capturedOutput();
    };
    // The left half of a 72 x 36 point box painted black, the right half left alone.
    const std::string drawing =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 36\n0 0 36 36 rectfill showpage\n";
    const fs::path eps = source("half.eps", drawing);
    for (const int dpi : {72, 200}) {
        SCOPED_TRACE(dpi);
        const GhostScript png(eps, OutputFormat::PNG, dpi);
        const fs::path out = home_.root() / ("at " + std::to_string(dpi) + ".png");
        convert(png.plainArguments(out));
        const QImage image(QString::fromStdString(out.string()));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), dpi);
        EXPECT_EQ(image.height(), dpi / 2);
        EXPECT_TRUE(image.hasAlphaChannel());
        EXPECT_EQ(qAlpha(image.pixel(dpi / 4, dpi / 4)), 255);
        EXPECT_EQ(qGray(image.pixel(dpi / 4, dpi / 4)), 0);
        EXPECT_EQ(qAlpha(image.pixel(dpi * 3 / 4, dpi / 4)), 0);
    }

    const GhostScript pdf(eps, OutputFormat::PDF, 200);
    const fs::path percent = home_.root() / "50% off.pdf";
    convert(pdf.plainArguments(percent));
    QPdfDocument document;
    ASSERT_EQ(document.load(QString::fromStdString(percent.string())), QPdfDocument::Error::None);
    EXPECT_EQ(document.pageCount(), 1);
    EXPECT_EQ(document.pagePointSize(0).toSize(), QSize(72, 36));

    const fs::path original = fs::current_path();
    fs::current_path(home_.root());
    for (const char* name : {"-sOutputFile=evil.pdf", "@args", "-dNOSAFER"}) {
        SCOPED_TRACE(name);
        fs::remove(home_.root() / "out.pdf");
        GhostScript tricky(source(name, drawing), OutputFormat::PDF, 200);
        tricky.url = name;  // as a caller might pass it, relative
        convert(tricky.plainArguments("out.pdf"));
        EXPECT_TRUE(fs::exists(home_.root() / "out.pdf"));
        EXPECT_FALSE(fs::exists(home_.root() / "evil.pdf"));
    }
    fs::current_path(original);
}

}  // namespace
}  // namespace vorrel
