// The logger: destination registry, level gates, the call forms, app details, its own
// messages, filters and formatters.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

#include "logbook/ConsoleDestination.h"
#include "logbook/FileDestination.h"
#include "logbook/Logbook.h"
#include "support/CapturingDestination.h"
#include "support/TempHome.h"

namespace vorrel {
namespace {

using test::CapturingDestination;
using Level = Logbook::Level;

TEST(LogbookRegistry, AddRefusesDuplicateIdentifiersAndMovesBetweenOwners) {
    Logbook first("first", false);
    Logbook second("second", false);
    auto a = CapturingDestination::bare("a");
    auto duplicate = CapturingDestination::bare("a");

    EXPECT_TRUE(first.add(a));
    EXPECT_FALSE(first.add(duplicate));
    EXPECT_EQ(duplicate->owner(), nullptr);
    EXPECT_EQ(first.destinations().size(), 1u);

    EXPECT_TRUE(second.add(a));  // taken away from `first`
    EXPECT_EQ(a->owner(), &second);
    EXPECT_TRUE(first.destinations().empty());
    EXPECT_EQ(second.destination("a"), a);
    EXPECT_EQ(second.destination("missing"), nullptr);
}

TEST(LogbookRegistry, RemoveDropsEveryOwnerlessDestination) {
    Logbook logbook("l", false);
    auto a = CapturingDestination::bare("a");
    auto b = CapturingDestination::bare("b");
    auto c = CapturingDestination::bare("c");
    logbook.add(a);
    logbook.add(b);
    logbook.add(c);
    b->setOwner(nullptr);  // detached behind the logger's back

    EXPECT_FALSE(logbook.remove(CapturingDestination::bare("never-added")));
    EXPECT_FALSE(logbook.remove("missing"));
    EXPECT_TRUE(logbook.remove("a"));
    ASSERT_EQ(logbook.destinations().size(), 1u);
    EXPECT_EQ(logbook.destinations().front(), c);
    EXPECT_EQ(a->owner(), nullptr);

    Logbook other("other", false);
    auto foreign = CapturingDestination::bare("c");
    other.add(foreign);
    EXPECT_FALSE(logbook.remove(foreign));  // same identifier, different owner
    EXPECT_EQ(foreign->owner(), &other);
}

TEST(LogbookRegistry, OutputLevelPropagatesAndDefaultLoggerHasConsole) {
    Logbook logbook("l", true);
    auto a = CapturingDestination::bare("a");
    logbook.add(a);
    logbook.setOutputLevel(Level::error);
    for (const auto& destination : logbook.destinations()) {
        EXPECT_EQ(destination->outputLevel(), Level::error);
    }
    a->setOutputLevel(Level::verbose);  // a destination may differ afterwards
    EXPECT_FALSE(logbook.isEnabledFor(Level::warning));
    EXPECT_TRUE(a->isEnabledFor(Level::verbose));

    Logbook& shared = Logbook::defaultInstance();
    EXPECT_EQ(&shared, &Logbook::defaultInstance());
    EXPECT_EQ(shared.identifier(), Logbook::Constants::defaultInstanceIdentifier);
    EXPECT_NE(std::dynamic_pointer_cast<ConsoleDestination>(
                  shared.destination(Logbook::Constants::baseConsoleDestinationIdentifier)),
              nullptr);
    EXPECT_EQ(Logbook::logQueue().label(), "com.tessaline.logbook.queue");
}

TEST(LogbookCalls, FormsCarryTheCallSiteAndReduceToTheCentralForm) {
    Logbook logbook("l", false);
    auto destination = CapturingDestination::bare("capture");
    destination->setOutputLevel(Level::verbose);
    logbook.add(destination);
    logbook.setOutputLevel(Level::verbose);

    const int line = __LINE__ + 1;
    logbook.debug("message form");
    logbook.info();  // no-message form: empty message
    logbook.notice([] { return 42; });
    logbook.warning([] { return std::optional<std::string>(); });  // no value: nothing
    logbook.error("explicit", "run()", "/x/GhostScript.cpp", 7, UserInfo{{"k", 1}});
    logbook.logln("message first", Level::alert);
    logbook.emergency([] { return std::optional<double>(2.5); });

    const auto records = destination->records();
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].message, "message form");
    EXPECT_EQ(records[0].level, Level::debug);
    EXPECT_EQ(records[0].functionName, "TestBody");
    EXPECT_EQ(records[0].fileName, __FILE__);
    EXPECT_EQ(records[0].lineNumber, line);
    EXPECT_EQ(records[1].message, "");
    EXPECT_EQ(records[1].lineNumber, line + 1);
    EXPECT_EQ(records[2].message, "42");
    EXPECT_EQ(records[3].functionName, "run()");
    EXPECT_EQ(records[3].fileName, "/x/GhostScript.cpp");
    EXPECT_EQ(records[3].lineNumber, 7);
    EXPECT_EQ(std::any_cast<int>(records[3].userInfo.at("k")), 1);
    EXPECT_EQ(records[4].level, Level::alert);
    EXPECT_EQ(records[5].message, "2.5");
    EXPECT_EQ(destination->lines().back(), "> 2.5");
}

TEST(LogbookCalls, NothingBelowTheLevelGatesIsEvaluated) {
    Logbook logbook("l", false);
    auto low = CapturingDestination::bare("low");
    auto high = CapturingDestination::bare("high");
    logbook.add(low);
    logbook.add(high);
    logbook.setOutputLevel(Level::warning);
    high->setOutputLevel(Level::error);

    int runs = 0;
    const auto counted = [&runs] { ++runs; return std::string("x"); };
    logbook.debug(counted);
    logbook.info(counted);
    logbook.logln(Level::notice, "f", "file", 1, {}, counted);
    logbook.debugExec([&runs] { ++runs; });
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(low->lines().empty());

    logbook.warning(counted);  // only `low` accepts it; the closure runs once
    logbook.error(counted);    // both accept it; still once
    logbook.warningExec([&runs] { runs += 10; });
    EXPECT_EQ(runs, 12);
    EXPECT_EQ(low->lines().size(), 2u);
    EXPECT_EQ(high->lines().size(), 1u);

    // The logger's own gate decides exec even when a destination would accept more.
    low->setOutputLevel(Level::verbose);
    logbook.infoExec([&runs] { runs += 100; });
    EXPECT_EQ(runs, 12);
}

TEST(LogbookCalls, AMessageClosureMayRemoveTheDestinationsItIsLoggedTo) {
    Logbook logbook("l", false);
    auto kept = CapturingDestination::bare("kept");
    logbook.add(kept);
    logbook.add(CapturingDestination::bare("removed"));
    std::weak_ptr<DestinationProtocol> removed = logbook.destination("removed");

    logbook.debug([&] {
        logbook.remove("removed");  // the logger held the last reference
        return "text";
    });
    EXPECT_TRUE(removed.expired());  // released once the call is over
    EXPECT_EQ(kept->lines(), (std::vector<std::string>{"> text"}));
    EXPECT_EQ(logbook.destinations().size(), 1u);
}

TEST(LogbookCalls, StaticFormsUseTheDefaultLogger) {
    Logbook& shared = Logbook::defaultInstance();
    auto destination = CapturingDestination::bare("static-forms");
    shared.add(destination);
    const auto console = shared.destination(Logbook::Constants::baseConsoleDestinationIdentifier);
    console->setOutputLevel(Level::none);  // keep the test's output quiet

    Logbook::Default::debug("via static");
    Logbook::Default::info([] { return "closure"; });
    Logbook::Default::verbose("below debug");
    int runs = 0;
    Logbook::Default::errorExec([&runs] { ++runs; });

    EXPECT_EQ(destination->lines(), (std::vector<std::string>{"> via static", "> closure"}));
    EXPECT_EQ(runs, 1);
    shared.remove(destination);
    console->setOutputLevel(shared.outputLevel());
}

TEST(LogbookCalls, FiltersAndFormattersOfDestinationWinOverOwners) {
    struct DropContaining : FilterProtocol {
        std::string word;
        explicit DropContaining(std::string text) : word(std::move(text)) {}
        bool shouldExclude(LogDetails&, std::string& message) override {
            return message.find(word) != std::string::npos;
        }
    };
    struct Append : LogFormatterProtocol {
        std::string suffix;
        explicit Append(std::string text) : suffix(std::move(text)) {}
        std::string format(LogDetails&, std::string& message) override {
            message += suffix;
            return "ignored";
        }
    };

    Logbook logbook("l", false);
    auto plain = CapturingDestination::bare("plain");
    auto own = CapturingDestination::bare("own");
    logbook.add(plain);
    logbook.add(own);
    logbook.filters = FilterList{std::make_shared<DropContaining>("secret")};
    logbook.formatters = FormatterList{std::make_shared<Append>("+1"), std::make_shared<Append>("+2")};
    own->setFilters(FilterList{std::make_shared<DropContaining>("noise")});
    own->setFormatters(FormatterList{});  // an empty list of its own: no formatting

    logbook.debug("secret");
    logbook.debug("noise");
    EXPECT_EQ(plain->lines(), (std::vector<std::string>{"> noise+1+2"}));
    EXPECT_EQ(own->lines(), (std::vector<std::string>{"> secret"}));
}

TEST(LogbookAppDetails, TwoLinesOncePerDestinationAndOnlyWhenInfoIsAccepted) {
    Logbook::setInfoDictionaryLookup([](std::string_view key) -> std::optional<std::string> {
        if (key == "CFBundleShortVersionString") return "1.2";
        if (key == "CFBundleVersion") return "34";
        return std::nullopt;
    });
    Logbook logbook("l", false);
    auto accepting = CapturingDestination::bare("accepting");
    auto strict = CapturingDestination::bare("strict");
    logbook.add(accepting);
    logbook.add(strict);
    strict->setOutputLevel(Level::warning);

    logbook.logAppDetails();
    logbook.logAppDetails();
    const std::string processLine = std::string(program_invocation_short_name) +
                                    " Version: 1.2 Build: 34 PID: " + std::to_string(getpid());
    const std::vector<std::string> expected{"> " + processLine, "> Logbook Version: 7.1.5 - Level: Debug"};
    EXPECT_EQ(accepting->lines(), expected);
    EXPECT_TRUE(strict->lines().empty());
    EXPECT_FALSE(strict->haveLoggedAppDetails());

    // Once its level allows info, the destination still gets them, once.
    strict->setOutputLevel(Level::info);
    logbook.logAppDetails(strict.get());
    logbook.logAppDetails();
    EXPECT_EQ(strict->lines(), expected);
    EXPECT_EQ(accepting->lines(), expected);
    EXPECT_EQ(accepting->records().front().level, Level::info);
    EXPECT_EQ(accepting->records().front().userInfo.count("com.tessaline.logbook.internal"), 1u);

    // Without version information only the process name and PID remain.
    Logbook::setInfoDictionaryLookup({});
    auto fresh = CapturingDestination::bare("fresh");
    logbook.add(fresh);
    logbook.logAppDetails(fresh.get());
    EXPECT_EQ(fresh->messages().front(),
              std::string(program_invocation_short_name) + " PID: " + std::to_string(getpid()));
}

TEST(LogbookInternal, ReportsAtErrorSkipTheSourceDestination) {
    Logbook logbook("l", false);
    auto source = CapturingDestination::bare("source");
    auto other = CapturingDestination::bare("other");
    logbook.add(source);
    logbook.add(other);
    source->levelDescriptions[Level::error] = "ignored";

    logbook._logln("failure", Level::error, source.get());
    logbook._logln("notice", Level::warning, source.get());
    logbook._logln("filtered by level", Level::verbose, nullptr);

    EXPECT_EQ(source->lines(), (std::vector<std::string>{"> notice"}));
    EXPECT_EQ(other->lines(), (std::vector<std::string>{"> failure", "> notice"}));
    EXPECT_EQ(other->records().front().functionName, "");
    EXPECT_EQ(other->records().front().lineNumber, 0);
}

TEST(LogbookSetup, AppliesSwitchesToTheConsoleAndWritesAppDetails) {
    Logbook logbook("l", true);
    auto capture = CapturingDestination::bare("capture");
    logbook.add(capture);
    testing::internal::CaptureStdout();
    logbook.setup(Level::info, true, false, true, false, false, true, false);
    logbook.debug("below info");
    logbook.info("shown", "fn", "/path/File.cpp", 12);
    const std::string printed = testing::internal::GetCapturedStdout();

    auto console = std::dynamic_pointer_cast<ConsoleDestination>(
        logbook.destination(Logbook::Constants::baseConsoleDestinationIdentifier));
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(console->outputLevel(), Level::info);
    EXPECT_EQ(capture->outputLevel(), Level::info);
    EXPECT_TRUE(console->showLogIdentifier && console->showThreadName && console->showLineNumber);
    EXPECT_FALSE(console->showFunctionName || console->showLevel || console->showFileName || console->showDate);
    EXPECT_NE(printed.find("[l] > Logbook Version: 7.1.5 - Level: Info\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("[l] [main] [12] > shown\n"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("below info"), std::string::npos);
    EXPECT_EQ(capture->messages().size(), 3u);  // two app-details lines and "shown"
}

// The extension's set-up runs on the GUI thread while conversions log on theirs: set-up
// again and again, a file destination added in the middle, switches flipped, while four
// threads log. Every line in the file is whole, and once a thread's line has reached the
// file none of its later lines is missing.
TEST(LogbookSetup, SetUpWhileOtherThreadsLogLosesNoLineAfterAttaching) {
    test::TempHome home;
    const auto path = home.root() / "Preview.log";
    Logbook logbook("l", false);
    constexpr int kThreads = 4;
    std::atomic<bool> stop{false};
    std::atomic<long> logged[kThreads] = {};
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (long i = 0; !stop; logged[t] = ++i) logbook.debug("/conv " + std::to_string(t) + " " + std::to_string(i), "worker");
        });
    }
    auto file = std::make_shared<FileDestination>(nullptr, path.string(), "advancedLogger.fileDestination", true);
    file->showDate = file->showLevel = file->showFileName = file->showLineNumber = false;
    file->setLogQueue(&Logbook::logQueue());
    for (int round = 0; round < 200; ++round) {
        logbook.setup(Logbook::Level::debug, false, true, false, false, true, true, round % 2 == 0);
        if (round == 100) {
            ASSERT_TRUE(logbook.add(file));
        }
        file->showFunctionName = round % 3 != 0;
    }
    const long enough = *std::max_element(std::begin(logged), std::end(logged)) + 200;
    for (const auto& count : logged) {
        while (count < enough) std::this_thread::yield();
    }
    stop = true;
    threads.clear();
    Logbook::logQueue().drain();

    std::map<int, std::vector<long>> seen;
    std::istringstream text(test::readFile(path));
    int other = 0;
    for (std::string line; std::getline(text, line);) {
        const auto at = line.find("> /conv ");
        int t = -1;
        long i = -1;
        char rest = 0;
        if (at == std::string::npos) {
            ++other;
        } else {
            EXPECT_TRUE(at == 0 || line.substr(0, at) == "worker ") << line;
            ASSERT_EQ(std::sscanf(line.c_str() + at, "> /conv %d %ld%c", &t, &i, &rest), 2) << line;
            ASSERT_TRUE(t >= 0 && t < kThreads) << line;
            seen[t].push_back(i);
        }
    }
    EXPECT_EQ(other, 3);  // the two app-details lines and the log-to line
    for (int t = 0; t < kThreads; ++t) {
        const auto& indexes = seen[t];
        ASSERT_GE(indexes.size(), 100u) << t;
        for (std::size_t k = 1; k < indexes.size(); ++k) ASSERT_EQ(indexes[k], indexes[k - 1] + 1) << t;
        EXPECT_EQ(indexes.back(), logged[t] - 1) << t;
    }
}

}  // namespace
}  // namespace vorrel
