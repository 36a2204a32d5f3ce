#pragma once
// BaseQueuedDestination: a destination that can move its work onto a serial queue.
//
// output(): copies the record and the line; with a logQueue, submits the rest to that
// queue and returns at once, otherwise does it now: unless shouldExclude() answers true,
// applyFormatters() on the copies, then write() with the resulting line. All destinations
// sharing one queue therefore write in submission order. The filters and formatters in
// force (the destination's, else the owner's) are taken when the line is submitted.
//
// The queue is not owned: it must outlive the destination (Logbook::logQueue() lives
// until the process ends). A destination given a queue must be held by std::shared_ptr
// (the queued work keeps it alive); one that is not writes on the caller's thread.

#include <string>

#include "logbook/BaseDestination.h"
#include "logbook/SerialQueue.h"

namespace vorrel {

class BaseQueuedDestination : public BaseDestination {
public:
    using BaseDestination::BaseDestination;

    SerialQueue* logQueue() const { return logQueue_; }
    void setLogQueue(SerialQueue* queue) { logQueue_ = queue; }

    void output(const LogDetails& logDetails, const std::string& message) override;

    // Writes one finished line; called on the queue when one is set.
    virtual void write(const std::string& message) = 0;

private:
    SerialQueue* logQueue_ = nullptr;
};

}  // namespace vorrel
