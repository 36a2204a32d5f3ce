#include "logbook/SerialQueue.h"

#include "logbook/ThreadName.h"
#include "platform/ThisProcess.h"

namespace vorrel {

namespace {

thread_local const SerialQueue* currentQueue = nullptr;

void runGuarded(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        // A failing item must not take the queue (or the process) down with it.
    }
}

}  // namespace

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {}

SerialQueue::~SerialQueue() {
    shutdown();
}

void SerialQueue::async(std::function<void()> work) {
    {
        std::unique_lock lock(mutex_);
        if (!stopped_) {
            if (!started_) {
                started_ = true;
                worker_ = std::thread([this] { run(); });
            }
            items_.push_back(std::move(work));
            ++submitted_;
            lock.unlock();
            wake_.notify_one();
            return;
        }
    }
    if (isCurrent()) {
        // Submitted by an item that runs inline on this thread, which holds inlineMutex_:
        // it runs after that item, as on the worker.
        inlinePending_.push_back(std::move(work));
        return;
    }
    std::lock_guard inlineLock(inlineMutex_);
    // Items the worker left when it stopped (submitted after the shutdown began) go first.
    std::deque<std::function<void()>> left;
    {
        std::lock_guard lock(mutex_);
        left.swap(items_);
    }
    const SerialQueue* previous = currentQueue;
    currentQueue = this;
    for (auto& item : left) runGuarded(item);
    runGuarded(work);
    while (!inlinePending_.empty()) {
        auto next = std::move(inlinePending_.front());
        inlinePending_.pop_front();
        runGuarded(next);
    }
    currentQueue = previous;
}

void SerialQueue::drain() {
    if (isCurrent()) {
        return;
    }
    std::unique_lock lock(mutex_);
    const auto target = submitted_;
    idle_.wait(lock, [&] { return finished_ >= target || stopped_; });
}

void SerialQueue::shutdown() {
    shutdownWithin(std::nullopt);
}

void SerialQueue::shutdown(std::chrono::milliseconds bound) {
    shutdownWithin(bound);
}

void SerialQueue::shutdownWithin(std::optional<std::chrono::milliseconds> bound) {
    if (isCurrent()) {
        return;
    }
    std::thread worker;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || stopped_) {
            return;
        }
        stopping_ = true;
        cutoff_ = submitted_;
        if (!started_) {
            stopped_ = true;
            return;
        }
        worker = std::move(worker_);
    }
    wake_.notify_one();
    if (bound) {
        std::unique_lock lock(mutex_);
        if (!idle_.wait_for(lock, *bound, [&] { return stopped_; })) {
            // An item that does not end (a write that blocks) must not hold the process:
            // the worker finishes on its own, or ends with the process.
            lock.unlock();
            worker.detach();
            return;
        }
    }
    worker.join();
}

bool SerialQueue::isCurrent() const noexcept {
    return currentQueue == this;
}

const SerialQueue* SerialQueue::current() noexcept {
    return currentQueue;
}

void SerialQueue::run() {
    // The kernel's name is only for debuggers and ps.
    platform::setKernelThreadName(label_);
    currentQueue = this;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return !items_.empty() || stopping_; });
        if (items_.empty() || (stopping_ && finished_ >= cutoff_)) {
            // Stopping, and everything submitted before the shutdown has run. Later items
            // (a thread that keeps logging) run on their submitters' threads.
            stopped_ = true;
            idle_.notify_all();
            break;
        }
        auto work = std::move(items_.front());
        items_.pop_front();
        lock.unlock();
        runGuarded(work);
        work = nullptr;  // release captures before reporting the item finished
        lock.lock();
        ++finished_;
        idle_.notify_all();
    }
    currentQueue = nullptr;
}

}  // namespace vorrel
