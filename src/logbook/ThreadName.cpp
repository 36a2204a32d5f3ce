#include "logbook/ThreadName.h"

#include <cstdio>

#include "logbook/SerialQueue.h"
#include "logbook/Utf8.h"
#include "platform/ThisProcess.h"

namespace vorrel {

namespace {

thread_local std::string threadName;
// Its address identifies the thread, the way a thread object's address would.
thread_local char threadIdentity;

}  // namespace

void setCurrentThreadName(std::string name) {
    platform::setKernelThreadName(name);
    threadName = std::move(name);
}

const std::string& currentThreadName() {
    return threadName;
}

bool isMainThread() {
    return platform::onMainThread();
}

std::string threadSegment() {
    if (isMainThread()) {
        return "[main] ";
    }
    if (!threadName.empty()) {
        return "[" + threadName + "] ";
    }
    if (const SerialQueue* queue = SerialQueue::current();
        queue != nullptr && !queue->label().empty() && isValidUtf8(queue->label())) {
        return "[" + queue->label() + "] ";
    }
    char text[40];
    std::snprintf(text, sizeof text, "[%p] ", static_cast<void*>(&threadIdentity));
    return text;
}

}  // namespace vorrel
