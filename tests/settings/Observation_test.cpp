// Change observation: PrefsObservation's start/invalidate semantics and the updates
// stream, on real suites with writes from several threads.

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PrefsTestSupport.h"
#include "settings/Prefs.h"

namespace vorrel {
namespace {

using namespace std::chrono_literals;
using Prefs::BaseChange;
using Prefs::Object;
using Prefs::ObservationOption;

// Collects the changes an observation delivers.
struct Recorder {
    std::mutex mutex;
    std::vector<BaseChange> changes;
    Prefs::PrefsObservation::Callback callback() {
        return [this](const Prefs::SuiteKeyPair&, const BaseChange& change) {
            std::lock_guard guard(mutex);
            changes.push_back(change);
        };
    }
    std::vector<BaseChange> taken() {
        std::lock_guard guard(mutex);
        return std::exchange(changes, {});
    }
};

BaseChange change(std::optional<Object> newValue, std::optional<Object> oldValue, bool prior = false) {
    return BaseChange{Prefs::ChangeKind::setting, std::nullopt, prior, std::move(newValue), std::move(oldValue)};
}

class ObservationTest : public test::PrefsTest {};

TEST_F(ObservationTest, StartDeliversChangesOnceAndInvalidateStopsThem) {
    Recorder recorder;
    Prefs::PrefsObservation observation(suite, "k", recorder.callback());
    suite->setObject(Object(1), "k");
    EXPECT_TRUE(recorder.taken().empty());  // not started

    observation.start();
    observation.start();  // already observing: no second registration
    EXPECT_TRUE(observation.isObserving());
    suite->setObject(Object(2), "k");
    platform::Suite::open(suite->name())->removeObject("k");  // another handle, same store
    platform::Suite::open(suite->name() + ".x")->setObject(Object(9), "k");  // another store
    suite->setObject(Object(3), "other");
    EXPECT_EQ(recorder.taken(), (std::vector<BaseChange>{change(Object(2), Object(1)), change(std::nullopt, Object(2))}));

    observation.invalidate();
    EXPECT_FALSE(observation.isObserving());
    suite->setObject(Object(4), "k");
    observation.start();  // its suite is cleared: it cannot start again
    suite->setObject(Object(5), "k");
    EXPECT_TRUE(recorder.taken().empty());
    EXPECT_FALSE(observation.isObserving());
}

TEST_F(ObservationTest, InitialAndPriorOptions) {
    suite->registerDefaults({{"k", Object("registered")}});
    Recorder initial, prior, both;
    Prefs::PrefsObservation a(suite, "k", initial.callback());
    Prefs::PrefsObservation b(suite, "k", prior.callback());
    Prefs::PrefsObservation c(suite, "k", both.callback());
    a.start({ObservationOption::initial});
    b.start({ObservationOption::prior});
    c.start({ObservationOption::initial, ObservationOption::prior});
    EXPECT_EQ(initial.taken(), std::vector<BaseChange>{change(Object("registered"), std::nullopt)});
    EXPECT_TRUE(prior.taken().empty());
    EXPECT_EQ(both.taken(), std::vector<BaseChange>{change(Object("registered"), std::nullopt)});

    suite->setObject(Object("x"), "k");
    EXPECT_EQ(initial.taken(), std::vector<BaseChange>{change(Object("x"), Object("registered"))});
    EXPECT_EQ(prior.taken(), (std::vector<BaseChange>{change(std::nullopt, Object("registered"), true),
                                                      change(Object("x"), Object("registered"))}));
    EXPECT_EQ(both.taken(), std::vector<BaseChange>{change(Object("x"), Object("registered"))});
}

TEST_F(ObservationTest, ADestroyedSuiteIsNeverKeptAliveAndEndsTheObservation) {
    Recorder recorder;
    auto handle = platform::Suite::open(suite->name());
    std::weak_ptr<platform::Suite> weak = handle;
    Prefs::PrefsObservation observation(handle, "k", recorder.callback());
    observation.start();
    EXPECT_TRUE(observation.isObserving());
    handle.reset();
    EXPECT_TRUE(weak.expired());
    suite->setObject(Object(1), "k");
    EXPECT_TRUE(recorder.taken().empty());
    EXPECT_FALSE(observation.isObserving());
    observation.start();  // cannot be started again: its suite is gone
    EXPECT_FALSE(observation.isObserving());
}

TEST_F(ObservationTest, KeyChangeConvertsBothValuesAndFallsBackToTheDefault) {
    Prefs::KeyChange<int> typed(change(Object("7"), Object("seven")), -1);
    EXPECT_EQ(typed.newValue, 7);
    EXPECT_EQ(typed.oldValue, -1);
    Prefs::KeyChange<bool> prior(change(std::nullopt, Object(true), true), false);
    EXPECT_TRUE(prior.isPrior);
    EXPECT_FALSE(prior.newValue);
    EXPECT_TRUE(prior.oldValue);
}

TEST_F(ObservationTest, UpdatesWithInitialYieldsTheCurrentValueFirst) {
    Prefs::Key<int> key("n", suite, 1);
    Prefs::set(key, 5);
    auto stream = Prefs::updates(key, true);
    EXPECT_EQ(stream.tryNext(), std::optional<int>(5));
    EXPECT_EQ(stream.tryNext(), std::nullopt);
    Prefs::set(key, 6);
    Prefs::set(key, 7);
    key.reset();
    EXPECT_EQ(stream.tryNext(), std::optional<int>(6));
    EXPECT_EQ(stream.tryNext(), std::optional<int>(7));
    EXPECT_EQ(stream.tryNext(), std::optional<int>(1));  // reset yields the default
}

TEST_F(ObservationTest, UpdatesWithoutInitialWaitsForTheFirstChange) {
    Prefs::Key<bool> key("flag", suite, false);
    auto stream = Prefs::updates(key, false);
    EXPECT_EQ(stream.tryNext(), std::nullopt);
    std::thread writer([&] { Prefs::set(key, true); });
    EXPECT_EQ(stream.next(), std::optional<bool>(true));  // blocks until the write
    writer.join();
    // An unconvertible stored object arrives as the default.
    suite->setObject(Object("yes"), "flag");
    EXPECT_EQ(stream.tryNext(), std::optional<bool>(false));
}

TEST_F(ObservationTest, WithoutPropagationSilencesOnlyTheCallingThread) {
    Prefs::Key<int> key("n", suite, 0);
    auto stream = Prefs::updates(key, false);
    int result = Prefs::withoutPropagation([&] {
        Prefs::set(key, 1);
        std::thread other([&] { Prefs::set(key, 2); });  // another thread is not silenced
        other.join();
        Prefs::set(key, 3);
        return 42;
    });
    EXPECT_EQ(result, 42);
    EXPECT_FALSE(Prefs::isPropagationSuppressed());
    EXPECT_EQ(Prefs::get(key), 3);  // the writes were stored
    EXPECT_EQ(stream.tryNext(), std::optional<int>(2));
    EXPECT_EQ(stream.tryNext(), std::nullopt);
    Prefs::set(key, 4);
    EXPECT_EQ(stream.tryNext(), std::optional<int>(4));
}

TEST_F(ObservationTest, StoppingOrDestroyingTheConsumerRemovesItsObservation) {
    // Each delivered change is built with the key's default: counting the closure's calls
    // counts the work done for this key's observers.
    std::atomic<int> defaultCalls{0};
    Prefs::Key<int> key("n", suite, [&defaultCalls] {
        ++defaultCalls;
        return 0;
    });
    {
        auto stream = Prefs::updates(key, false);
        std::optional<int> first, second;
        std::thread consumer([&] {
            first = stream.next();
            second = stream.next();  // woken by stop(), or finds the stream stopped
        });
        Prefs::set(key, 1);
        EXPECT_EQ(defaultCalls, 1);
        stream.stop();
        consumer.join();
        EXPECT_EQ(first, std::optional<int>(1));  // buffered before stop(): still taken
        EXPECT_EQ(second, std::nullopt);
        EXPECT_TRUE(stream.isStopped());
        Prefs::set(key, 2);
        EXPECT_EQ(defaultCalls, 1);
    }
    {
        auto stream = Prefs::updates(key, false);
        Prefs::set(key, 3);
        EXPECT_EQ(defaultCalls, 2);
    }
    Prefs::set(key, 4);
    Prefs::set(key, 5);
    EXPECT_EQ(defaultCalls, 2);
}

TEST_F(ObservationTest, ConcurrentWritersLoseNoElement) {
    constexpr int kThreads = 4;
    constexpr int kWrites = 10;
    Prefs::Key<int> key("n", suite, -1);
    auto stream = Prefs::updates(key, false);
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            auto handle = platform::Suite::open(suite->name());
            for (int i = 0; i < kWrites; ++i) Prefs::set(*handle, key, t * 1000 + i);
        });
    std::vector<int> seen;
    while (seen.size() < kThreads * kWrites) {
        auto value = stream.nextFor(10s);
        ASSERT_TRUE(value) << "after " << seen.size() << " elements";
        seen.push_back(*value);
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(stream.tryNext(), std::nullopt);
    // Each writer's own values arrive in its order.
    for (int t = 0; t < kThreads; ++t) {
        int last = -1;
        for (int v : seen)
            if (v / 1000 == t) {
                EXPECT_GT(v, last);
                last = v;
            }
        EXPECT_EQ(last, t * 1000 + kWrites - 1);
    }
}

}  // namespace
}  // namespace vorrel
