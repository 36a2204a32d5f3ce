#pragma once
// Prefs::updates(key, initial): the stream of a key's values.
//
//   auto stream = Prefs::updates(key);          // initial = true: current value first
//   while (auto value = stream.next()) { ... }  // blocks; ends only after stop()
//
// What happens:
//   1. The stream creates a PrefsObservation on the key's suite and name whose callback
//      turns each change into a KeyChange (with the key's defaultValue()) and appends its
//      newValue to an unbounded buffer, so a slow consumer never blocks a writer.
//   2. It starts the observation with {initial} when `initial` is true, else with no
//      options: the first element is then the current value, or the first change.
//   3. The stream never ends on its own. stop() — and destroying the stream, which is
//      how the consumer stops — invalidates the observation under its lock; later writes
//      do no work for it, and next() returns nothing once the buffer is drained.
//
// An element handler (optional) is called on the writing thread after each element is
// buffered: the hook for handing wake-ups to an event loop. It must be thread-safe and
// must not destroy the stream.
//
// Thread-safety: next(), nextFor() and tryNext() may be called from one consumer thread
// at a time; stop() from any thread (it wakes a blocked next()). Destroy the stream only
// when no thread is inside next().

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "settings/Key.h"
#include "settings/Observation.h"

namespace vorrel::Prefs {

namespace detail {

template <class V>
class UpdateBuffer {
public:
    explicit UpdateBuffer(std::function<void()> onElement) : onElement_(std::move(onElement)) {}

    void push(V value) {
        {
            std::lock_guard guard(mutex_);
            if (stopped_) return;
            items_.push_back(std::move(value));
        }
        ready_.notify_one();
        if (onElement_) onElement_();
    }

    std::optional<V> take() {
        std::lock_guard guard(mutex_);
        return takeLocked();
    }

    std::optional<V> next() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !items_.empty() || stopped_; });
        return takeLocked();
    }

    template <class Rep, class Period>
    std::optional<V> nextFor(std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, timeout, [&] { return !items_.empty() || stopped_; });
        return takeLocked();
    }

    // Elements buffered before stop() can still be taken.
    void stop() {
        {
            std::lock_guard guard(mutex_);
            stopped_ = true;
        }
        ready_.notify_all();
    }

    bool stopped() const {
        std::lock_guard guard(mutex_);
        return stopped_;
    }

private:
    std::optional<V> takeLocked() {
        if (items_.empty()) return std::nullopt;
        V value = std::move(items_.front());
        items_.pop_front();
        return value;
    }

    const std::function<void()> onElement_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<V> items_;
    bool stopped_ = false;
};

}  // namespace detail

template <SerializableType V>
class Updates {
public:
    Updates(const Key<V>& key, bool initial, std::function<void()> onElement = {})
        : buffer_(std::make_shared<detail::UpdateBuffer<V>>(std::move(onElement))) {
        // The callback owns what it uses (a copy of the key, the buffer): it may still run
        // on a writing thread while the stream is being destroyed.
        observation_ = std::make_unique<PrefsObservation>(
            key.suite(), key.name(),
            [buffer = buffer_, key](const SuiteKeyPair&, const BaseChange& change) {
                buffer->push(KeyChange<V>(change, key.defaultValue()).newValue);
            });
        observation_->start(initial ? ObservationOptions{ObservationOption::initial} : ObservationOptions{});
    }

    ~Updates() { stop(); }
    Updates(Updates&&) noexcept = default;
    Updates& operator=(Updates&& other) noexcept {
        if (this != &other) {
            stop();
            buffer_ = std::move(other.buffer_);
            observation_ = std::move(other.observation_);
        }
        return *this;
    }

    // The next element; blocks until there is one. Nothing only after stop().
    std::optional<V> next() { return buffer_ ? buffer_->next() : std::nullopt; }
    // The next element, waiting at most `timeout`; nothing when none came.
    template <class Rep, class Period>
    std::optional<V> nextFor(std::chrono::duration<Rep, Period> timeout) {
        return buffer_ ? buffer_->nextFor(timeout) : std::nullopt;
    }
    // The next element when one is buffered; never blocks.
    std::optional<V> tryNext() { return buffer_ ? buffer_->take() : std::nullopt; }

    // Ends the stream: invalidates the observation and wakes a blocked next().
    void stop() {
        if (observation_) observation_->invalidate();
        if (buffer_) buffer_->stop();
    }
    bool isStopped() const { return !buffer_ || buffer_->stopped(); }

private:
    std::shared_ptr<detail::UpdateBuffer<V>> buffer_;
    std::unique_ptr<PrefsObservation> observation_;
};

template <SerializableType V>
Updates<V> updates(const Key<V>& key, bool initial = true) {
    return Updates<V>(key, initial);
}

}  // namespace vorrel::Prefs
