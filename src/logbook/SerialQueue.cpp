#include "logbook/SerialQueue.h"

#include <pthread.h>

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
    const SerialQueue* previous = currentQueue;
    currentQueue = this;
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
        if (!started_) {
            stopped_ = true;
            return;
        }
        worker = std::move(worker_);
    }
    wake_.notify_one();
    worker.join();
}

bool SerialQueue::isCurrent() const noexcept {
    return currentQueue == this;
}

const SerialQueue* SerialQueue::current() noexcept {
    return currentQueue;
}

void SerialQueue::run() {
    // The kernel's name is only for debuggers and ps; it is cut to 15 bytes.
    pthread_setname_np(pthread_self(), label_.substr(0, 15).c_str());
    currentQueue = this;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return !items_.empty() || stopping_; });
        if (items_.empty()) {
            // Stopping, and everything submitted has run. Later items run on their
            // submitters' threads.
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
