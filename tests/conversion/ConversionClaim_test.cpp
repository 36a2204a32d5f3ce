// One conversion of each file at a time: the claim that makes a second run wait, and what the
// wait does to that run.
#include "conversion/ConversionClaim.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <stop_token>
#include <thread>

#include "cache/PreviewFiles.h"
#include "conversion/ConversionFixture.h"
#include "conversion/GhostScript.h"

namespace vorrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ConversionClaimTest : public test::ConversionTest {
protected:
    fs::path output() { return previewFilesDirectory() / "0123.pdf"; }
};

TEST_F(ConversionClaimTest, AHeldClaimMakesOthersWaitGiveUpOrStop) {
    std::optional<ConversionClaim> held;
    held.emplace(output(), std::stop_token(), false);
    EXPECT_EQ(held->waited(), 0ms);
    // Work ahead of need leaves the content to the run making it.
    EXPECT_THROW(ConversionClaim(output(), std::stop_token(), true), ConverterRun::NoFreeSlot);
    // A preview that goes stops waiting.
    std::stop_source stop;
    auto stopped =
        std::async(std::launch::async, [&] { ConversionClaim(output(), stop.get_token(), false); });
    std::this_thread::sleep_for(50ms);
    stop.request_stop();
    EXPECT_THROW(stopped.get(), ConverterRun::Cancelled);
    // Another file's claim is its own.
    EXPECT_EQ(
        ConversionClaim(output().parent_path() / "4567.pdf", std::stop_token(), false).waited(),
        0ms);
    // The next one gets the claim when the holder ends.
    auto next = std::async(std::launch::async, [&] {
        return ConversionClaim(output(), std::stop_token(), false).waited();
    });
    std::this_thread::sleep_for(300ms);
    held.reset();
    EXPECT_GT(next.get(), 0ms);
}

TEST_F(ConversionClaimTest, AWaitingRunTakesTheFileAsSoonAsItIsNamed) {
    const fs::path launches = records() / "launches";
    fs::create_directories(launches);
    setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
    GhostScript::TestOverride useFake(fake("launch-counter"));
    useFake.allowWriting(records());
    const GhostScript conversion(source("named.eps"), OutputFormat::PDF, 200);
    // The head start holds the claim; it names its result, then cleans up for a while.
    std::optional<ConversionClaim> other;
    other.emplace(conversion.outputFileURL, std::stop_token(), false);
    auto waiting = std::async(std::launch::async, [&] { return conversion.run(); });
    std::this_thread::sleep_for(100ms);
    {
        const fs::path named = conversion.outputFileURL.string() + ".new";
        std::ofstream(named) << "converted by the other run\n";
        fs::rename(named, conversion.outputFileURL);
    }
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready) << "waited for the claim's end";
    EXPECT_EQ(waiting.get(), conversion.outputFileURL);
    EXPECT_EQ(test::readFile(conversion.outputFileURL), "converted by the other run\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(launches), fs::directory_iterator()), 0);
}

TEST_F(ConversionClaimTest, AnUnusableLockFileNeverStopsAConversion) {
    const fs::path lockFile = conversionLockFile(output().parent_path());
    fs::create_directories(lockFile.parent_path());
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "symbolic link");
        fs::remove(lockFile);
        if (fifo) {
            ASSERT_EQ(::mkfifo(lockFile.c_str(), 0600), 0);
        } else {
            fs::create_symlink(records() / "elsewhere", lockFile);
        }
        const ConversionClaim first(output(), std::stop_token(), false);
        EXPECT_EQ(ConversionClaim(output(), std::stop_token(), true).waited(), 0ms);
        EXPECT_FALSE(fs::exists(records() / "elsewhere"));
    }
}

TEST_F(ConversionClaimTest, ARunThatWaitedOutItsTimeLimitConvertsNothing) {
    const fs::path launches = records() / "launches";
    fs::create_directories(launches);
    setenv("VORREL_FAKE_RECORD", launches.c_str(), 1);
    GhostScript::TestOverride useFake(fake("launch-counter"), 300ms, 100ms);
    useFake.allowWriting(records());
    const GhostScript conversion(source("slow.eps"), OutputFormat::PDF, 200);
    // Another run of ours holds the file past the time limit, then ends without it.
    std::optional<ConversionClaim> other;
    other.emplace(conversion.outputFileURL, std::stop_token(), false);
    auto waiting = std::async(std::launch::async, [&] { return conversion.run(); });
    std::this_thread::sleep_for(400ms);
    other.reset();
    try {
        waiting.get();
        ADD_FAILURE() << "run() succeeded";
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.kind(), ConversionError::Case::timedOut);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(launches), fs::directory_iterator()), 0);
}

}  // namespace
}  // namespace vorrel
