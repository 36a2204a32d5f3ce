#pragma once
// CapturingDestination: a log destination that records every line it is asked to write,
// with the record it came from, instead of printing it.
//
// It renders exactly like any other destination (the inherited switches apply), so tests
// can assert on rendered lines. Give it a logQueue to exercise queued writing; lines()
// then shows what has been written so far (drain the queue first).
// Thread-safety: write() and the readers may run on different threads at once.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "logbook/BaseQueuedDestination.h"

namespace vorrel::test {

class CapturingDestination : public BaseQueuedDestination {
public:
    explicit CapturingDestination(std::string identifier = "test.capturing", Logbook* owner = nullptr);

    // Every switch off: lines are "> " + message.
    static std::shared_ptr<CapturingDestination> bare(std::string identifier = "test.capturing");

    void output(const LogDetails& logDetails, const std::string& message) override;
    void write(const std::string& message) override;

    std::vector<std::string> lines() const;
    // The records handed to output(), in order (from the calling threads).
    std::vector<LogDetails> records() const;
    // The messages of the records, in order.
    std::vector<std::string> messages() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::vector<LogDetails> records_;
};

}  // namespace vorrel::test
