#pragma once
// ConsoleDestination: writes each line followed by "\n" to standard output, flushed at
// once so that lines interleave sensibly with other output. Without a logQueue (the
// default) lines are written synchronously on the logging thread.

#include "logbook/BaseQueuedDestination.h"

namespace vorrel {

class ConsoleDestination : public BaseQueuedDestination {
public:
    using BaseQueuedDestination::BaseQueuedDestination;
    void write(const std::string& message) override;
};

}  // namespace vorrel
