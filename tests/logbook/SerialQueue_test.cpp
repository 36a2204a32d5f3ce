// The serial executor: order, identity of the running queue, draining, failures inside
// items, and what happens to work submitted around shutdown.

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "logbook/SerialQueue.h"

namespace vorrel {
namespace {

TEST(SerialQueue, RunsItemsOneAtATimeInSubmissionOrderFromManyThreads) {
    SerialQueue queue("order");
    std::vector<std::pair<int, int>> seen;  // touched only by queue items
    int running = 0;
    int overlaps = 0;
    {
        std::vector<std::jthread> submitters;
        for (int t = 0; t < 4; ++t) {
            submitters.emplace_back([&, t] {
                for (int i = 0; i < 1000; ++i) {
                    queue.async([&, t, i] {
                        overlaps += running++;
                        seen.emplace_back(t, i);
                        --running;
                    });
                }
            });
        }
    }
    queue.drain();
    ASSERT_EQ(seen.size(), 4000u);
    EXPECT_EQ(overlaps, 0);
    std::vector<int> next(4, 0);
    for (const auto& [t, i] : seen) {
        ASSERT_EQ(i, next[t]);
        next[t] = i + 1;
    }
}

TEST(SerialQueue, AThrowingItemDoesNotStopTheQueueAndDrainFromInsideReturns) {
    SerialQueue queue("failures");
    std::vector<int> ran;
    queue.async([] { throw std::runtime_error("boom"); });
    queue.async([&] {
        queue.drain();  // would wait for itself forever
        ran.push_back(1);
    });
    queue.async([&] { ran.push_back(2); });
    queue.drain();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(SerialQueue, ShutdownRunsQueuedWorkAndLaterWorkRunsInline) {
    std::vector<int> ran;
    std::promise<void> release;
    auto queue = std::make_unique<SerialQueue>("shutdown");
    queue->async([gate = release.get_future().share()] { gate.wait(); });
    for (int i = 0; i < 100; ++i) {
        queue->async([&ran, i] { ran.push_back(i); });
    }
    std::jthread releaser([&] { release.set_value(); });
    queue->shutdown();
    EXPECT_EQ(ran.size(), 100u);

    const auto caller = std::this_thread::get_id();
    std::thread::id ranOn;
    queue->async([&] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, caller);

    // Work submitted from inline work runs after it, as on the worker (and does not wait
    // for the item that submits it).
    std::vector<std::string> order;
    queue->async([&] {
        order.push_back("first");
        queue->async([&] {
            order.push_back("nested");
            queue->async([&] { order.push_back("nested again"); });
        });
        order.push_back("first ends");
    });
    queue->async([&] { order.push_back("second"); });
    EXPECT_EQ(order, (std::vector<std::string>{"first", "first ends", "nested", "nested again", "second"}));
    queue->drain();  // returns at once after shutdown
    queue.reset();   // destroying a stopped queue is fine

    SerialQueue neverUsed("never used");  // no worker was ever started
}

}  // namespace
}  // namespace vorrel
