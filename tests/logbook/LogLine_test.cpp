// Exact renderings of log lines: the seven segments of an ordinary line, the three of the
// logger's own lines, level texts and the thread segment.

#include <gtest/gtest.h>

#include <ctime>
#include <thread>

#include "logbook/Logbook.h"
#include "logbook/ThreadName.h"
#include "support/CapturingDestination.h"

namespace vorrel {
namespace {

using test::CapturingDestination;
using Level = Logbook::Level;

// 2026-01-31 14:05:09.042 in local time, as the default date formatter shows it.
std::chrono::system_clock::time_point fixedDate() {
    std::tm parts{};
    parts.tm_year = 2026 - 1900;
    parts.tm_mon = 0;
    parts.tm_mday = 31;
    parts.tm_hour = 14;
    parts.tm_min = 5;
    parts.tm_sec = 9;
    parts.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&parts)) + std::chrono::milliseconds(42);
}

LogDetails previewRecord(Level level = Level::debug) {
    return LogDetails{level, fixedDate(), "Converting EPS file a.eps to PDF",
                      "preparePreviewOfFile(at:)", "/src/Extension/PreviewViewController", 73, {}};
}

struct Switches {
    bool date, level, identifier, thread, fileName, lineNumber, functionName;
};

void applySwitches(BaseDestination& destination, const Switches& switches) {
    destination.showDate = switches.date;
    destination.showLevel = switches.level;
    destination.showLogIdentifier = switches.identifier;
    destination.showThreadName = switches.thread;
    destination.showFileName = switches.fileName;
    destination.showLineNumber = switches.lineNumber;
    destination.showFunctionName = switches.functionName;
}

struct Owned {
    Logbook logbook{"test.logger", false};
    std::shared_ptr<CapturingDestination> destination = std::make_shared<CapturingDestination>();
    Owned() { logbook.add(destination); }
};

TEST(LogLine, SegmentsRenderInOrderForEverySwitchCombination) {
    struct Case {
        const char* name;
        Switches switches;
        const char* expected;
    };
    const Case cases[] = {
        {"console settings", {true, false, false, false, true, true, true},
         "2026-01-31 14:05:09.042 [PreviewViewController:73] preparePreviewOfFile(at:) > "
         "Converting EPS file a.eps to PDF"},
        {"file settings", {true, false, false, false, false, false, true},
         "2026-01-31 14:05:09.042 preparePreviewOfFile(at:) > Converting EPS file a.eps to PDF"},
        {"every switch off", {false, false, false, false, false, false, false},
         "> Converting EPS file a.eps to PDF"},
        {"line number without file name", {false, false, false, false, false, true, false},
         "[73] > Converting EPS file a.eps to PDF"},
        {"file name without line number", {false, false, false, false, true, false, false},
         "[PreviewViewController] > Converting EPS file a.eps to PDF"},
        {"level and identifier", {false, true, true, false, false, false, false},
         "[Debug] [test.logger] > Converting EPS file a.eps to PDF"},
        {"all on, main thread", {true, true, true, true, true, true, true},
         "2026-01-31 14:05:09.042 [Debug] [test.logger] [main] [PreviewViewController:73] "
         "preparePreviewOfFile(at:) > Converting EPS file a.eps to PDF"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Owned owned;
        applySwitches(*owned.destination, testCase.switches);
        owned.destination->process(previewRecord());
        EXPECT_EQ(owned.destination->lines(), std::vector<std::string>{testCase.expected});
    }
}

TEST(LogLine, LevelTextPrefersDestinationThenOwnerThenDescription) {
    struct Case {
        const char* name;
        std::map<Level, std::string> destinationTexts;
        std::map<Level, std::string> ownerTexts;
        Level level;
        const char* expected;
    };
    const Case cases[] = {
        {"built-in", {}, {}, Level::warning, "[Warning] > m"},
        {"owner's", {}, {{Level::warning, "WARN"}}, Level::warning, "[WARN] > m"},
        {"destination's wins", {{Level::warning, "W"}}, {{Level::warning, "WARN"}}, Level::warning, "[W] > m"},
        {"other level's entry ignored", {{Level::error, "E"}}, {{Level::info, "I"}}, Level::warning,
         "[Warning] > m"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Owned owned;
        applySwitches(*owned.destination, {false, true, false, false, false, false, false});
        owned.destination->levelDescriptions = testCase.destinationTexts;
        owned.logbook.levelDescriptions = testCase.ownerTexts;
        owned.destination->process(LogDetails{testCase.level, fixedDate(), "m", "f", "x.cpp", 1, {}});
        EXPECT_EQ(owned.destination->lines(), std::vector<std::string>{testCase.expected});
    }
}

TEST(LogLine, InternalLinesUseOnlyDateLevelAndIdentifierAndIgnoreLevelTexts) {
    Owned owned;
    applySwitches(*owned.destination, {true, true, true, true, true, true, true});
    owned.destination->levelDescriptions[Level::info] = "I";
    owned.logbook.levelDescriptions[Level::info] = "INFO";
    owned.destination->processInternal(
        LogDetails{Level::info, fixedDate(), "internal", "fn", "/a/b.cpp", 9, Logbook::internalUserInfo()});
    applySwitches(*owned.destination, {true, false, false, true, true, true, true});
    owned.destination->processInternal(LogDetails{Level::info, fixedDate(), "internal", "fn", "/a/b.cpp", 9, {}});
    EXPECT_EQ(owned.destination->lines(),
              (std::vector<std::string>{"2026-01-31 14:05:09.042 [Info] [test.logger] > internal",
                                        "2026-01-31 14:05:09.042 > internal"}));
}

TEST(LogLine, DestinationWithoutOwnerRendersNothing) {
    auto destination = CapturingDestination::bare();
    destination->process(previewRecord());
    destination->processInternal(previewRecord());
    EXPECT_TRUE(destination->lines().empty());
}

TEST(LogLine, ThreadSegmentNamesMainThreadNamedThreadQueueOrAddress) {
    Owned owned;
    applySwitches(*owned.destination, {false, false, false, true, false, false, false});

    owned.destination->process(previewRecord());
    // A name longer than the kernel's 15 bytes survives whole.
    std::thread([&] {
        setCurrentThreadName("conversion worker number one");
        owned.destination->process(previewRecord());
    }).join();
    SerialQueue queue("com.example.a-queue-label-longer-than-fifteen");
    queue.async([&] { owned.destination->process(previewRecord()); });
    queue.drain();
    std::thread([&] { owned.destination->process(previewRecord()); }).join();

    const auto lines = owned.destination->lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[main] > Converting EPS file a.eps to PDF");
    EXPECT_EQ(lines[1], "[conversion worker number one] > Converting EPS file a.eps to PDF");
    EXPECT_EQ(lines[2], "[com.example.a-queue-label-longer-than-fifteen] > Converting EPS file a.eps to PDF");
    EXPECT_TRUE(lines[3].starts_with("[0x")) << lines[3];
    EXPECT_TRUE(lines[3].ends_with("] > Converting EPS file a.eps to PDF")) << lines[3];
}

TEST(LogLine, CustomDateFormatterReplacesTheDefault) {
    Owned owned;
    applySwitches(*owned.destination, {true, false, false, false, false, false, false});
    owned.logbook.setDateFormatter(
        std::make_shared<DateFormatter>("dd.MM.yy 'at' h:mm a, SSSSSS''", DateFormatter::TimeZone::utc));
    // 2001-02-03 16:05:06.789012 UTC
    const auto date = std::chrono::system_clock::from_time_t(981216306) + std::chrono::microseconds(789012);
    owned.destination->process(LogDetails{Level::debug, date, "m", "", "", 0, {}});
    owned.logbook.setDateFormatter(nullptr);
    owned.destination->process(LogDetails{Level::debug, fixedDate(), "m", "", "", 0, {}});
    EXPECT_EQ(owned.destination->lines(),
              (std::vector<std::string>{"03.02.01 at 4:05 PM, 789012' > m", "2026-01-31 14:05:09.042 > m"}));
}

TEST(LogLevel, RawValuesRoundTripAndOutOfRangeGivesNone) {
    for (const Level level : Logbook::allCases) {
        EXPECT_EQ(logLevelFromRawValue(rawValue(level)), level);
    }
    EXPECT_EQ(logLevelFromRawValue(-1), std::nullopt);
    EXPECT_EQ(logLevelFromRawValue(10), std::nullopt);
    EXPECT_EQ(description(Level::emergency), "Emergency");
}

}  // namespace
}  // namespace vorrel
