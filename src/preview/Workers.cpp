#include "preview/Workers.h"

#include "conversion/ConverterRun.h"

namespace vorrel {

namespace {

// Read and written on the GUI thread only.
bool acceptingWork = true;

}  // namespace

QThreadPool& Workers::pool() {
    static QThreadPool* threads = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(8);
        return created;
    }();
    return *threads;
}

bool Workers::accepting() { return acceptingWork; }

bool Workers::shutDown(std::chrono::milliseconds bound) {
    acceptingWork = false;
    ConverterRun::stopAll();
    return pool().waitForDone(static_cast<int>(bound.count()));
}

}  // namespace vorrel
