#pragma once
// Workers: the threads the preview extension runs its conversions, exports, fact readings and
// cache purges on, and the process-wide switch that stops them before the process exits.
//
// Promises:
//  - the pool is the extension's own, of at most 8 threads, so a conversion that blocks its
//    thread for up to a minute never starves Qt's global pool (the conversion slots bound
//    the converters, not this pool);
//  - accepting() is true until shutDown(); after it no new work may be started;
//  - shutDown(bound) stops every running conversion of the process (ConverterRun::stopAll())
//    and waits up to `bound` for the threads to finish; it returns whether they did.
//
// Thread-safety: accepting() and shutDown() on the GUI thread; pool() from any thread.

#include <QThreadPool>

#include <chrono>

namespace vorrel {

class Workers {
public:
    static QThreadPool& pool();
    static bool accepting();
    static bool shutDown(std::chrono::milliseconds bound);
};

}  // namespace vorrel
