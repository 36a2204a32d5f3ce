#pragma once
// SerialQueue: a serial executor with a label. One worker thread runs the submitted work
// items one at a time, first in, first out.
//
// What happens:
//   1. async() appends an item and returns; the worker is started on the first item.
//   2. The worker takes items in submission order and runs each to completion. While an
//      item runs, SerialQueue::current() on that thread answers this queue, which is how
//      the thread segment of a log line finds the queue's label (Linux cuts thread names
//      at 15 bytes, so the label is kept here, whole).
//   3. An item that throws is abandoned; the queue goes on with the next one.
//   4. drain() waits until every item submitted before the call has run.
//   5. shutdown() (and the destructor) run every item submitted before the call, then join
//      the worker; items submitted meanwhile are not waited for (a thread that keeps
//      logging cannot hold the shutdown for ever). shutdown(bound) waits at most `bound`
//      and then leaves the worker to finish on its own (for process exit; the queue must
//      then never be destroyed). After shutdown, async() runs the item at once on the
//      caller's thread, after any item left queued, still one at a time, so late work is
//      neither reordered nor (while its thread goes on) lost. An item so run that submits
//      more work has it run right after itself, on the same thread.
//
// Thread-safety: every operation may be called from any thread. drain() and shutdown()
// called from inside an item on this queue return without waiting (waiting there would
// never end).

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vorrel {

class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const noexcept { return label_; }

    void async(std::function<void()> work);
    void drain();
    void shutdown();
    void shutdown(std::chrono::milliseconds bound);

    // True on this queue's worker while it runs an item.
    bool isCurrent() const noexcept;
    // The queue whose item is running on the calling thread, or null.
    static const SerialQueue* current() noexcept;

private:
    void run();
    void shutdownWithin(std::optional<std::chrono::milliseconds> bound);

    const std::string label_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> items_;
    unsigned long long submitted_ = 0;
    unsigned long long finished_ = 0;
    unsigned long long cutoff_ = 0;  // submitted_ when the shutdown began
    bool started_ = false;
    bool stopping_ = false;
    bool stopped_ = false;
    std::thread worker_;
    std::mutex inlineMutex_;  // serialises items run on callers' threads after shutdown
    // Work submitted by an item running inline, run after it; touched only by the thread
    // holding inlineMutex_.
    std::deque<std::function<void()>> inlinePending_;
};

}  // namespace vorrel
