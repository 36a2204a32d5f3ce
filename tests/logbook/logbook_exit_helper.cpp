// logbook_exit_helper PATH COUNT exit|return|quick_exit
// Logs COUNT lines to PATH through a file destination on the shared log queue while the
// queue is held up by an item that waits for the main thread, then ends the process
// normally (exit() or quick_exit() from a nested function, or return from main) right after
// releasing the queue, so the lines are still queued when the process starts ending.

#include <cstdlib>
#include <future>
#include <string>

#include "logbook/FileDestination.h"
#include "logbook/Logbook.h"

namespace {

[[noreturn]] void finish(bool quickly) {
    if (quickly) std::quick_exit(0);
    std::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    using vorrel::Logbook;
    Logbook& logbook = Logbook::defaultInstance();
    logbook.remove(std::string(Logbook::Constants::baseConsoleDestinationIdentifier));

    auto file = std::make_shared<vorrel::FileDestination>(nullptr, std::string(argv[1]), "file", true);
    file->showDate = false;
    file->showLevel = false;
    file->showFileName = false;
    file->showLineNumber = false;
    file->showFunctionName = false;
    file->setLogQueue(&Logbook::logQueue());
    logbook.add(file);
    file.reset();  // the logger alone keeps it

    std::promise<void> release;
    Logbook::logQueue().async([gate = release.get_future().share()] { gate.wait(); });
    const int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        logbook.debug("line " + std::to_string(i));
    }
    release.set_value();
    const std::string ending = argv[3];
    if (ending == "exit" || ending == "quick_exit") {
        finish(ending == "quick_exit");
    }
    return 0;
}
