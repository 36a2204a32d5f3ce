// log_writer: a separate process that logs to a file, for the file destination tests.
//
//   log_writer append PATH NAME   Commands on stdin, one per line, each answered "ok":
//                                 "attach" adds a file destination (append mode, the
//                                 extension's marker, every switch off) on the shared
//                                 queue; "log N" logs N lines "NAME <i>" (i counts on)
//                                 and waits until they are written; "quit" ends.
//   log_writer truncate PATH      Truncates the file to nothing.
//   log_writer capped PATH        Attaches a file destination, caps the file size 50 bytes
//                                 beyond what it holds (a stand-in for a full disk), logs
//                                 a line longer than that, lifts the cap, logs "after".
//   log_writer late PATH          Logs with dates from a static destructor and from a
//                                 thread still running while the process ends.
//   log_writer endless PATH       Logs "main returns" on the shared queue and returns while
//                                 another thread logs through that queue without end.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "logbook/FileDestination.h"
#include "logbook/Logbook.h"

namespace {

using vorrel::Logbook;

std::shared_ptr<vorrel::FileDestination> attach(const std::string& path, bool showDate) {
    Logbook& logbook = Logbook::defaultInstance();
    logbook.remove(std::string(Logbook::Constants::baseConsoleDestinationIdentifier));
    auto file = std::make_shared<vorrel::FileDestination>(nullptr, path, "file", true,
                                                          std::string("\n-- Relauched App --\n"));
    file->showDate = showDate;
    file->showLevel = false;
    file->showFileName = false;
    file->showLineNumber = false;
    file->showFunctionName = false;
    logbook.add(file);
    return file;
}

int append(const std::string& path, const std::string& name) {
    long next = 0;
    for (std::string command; std::getline(std::cin, command);) {
        if (command == "attach") {
            attach(path, false)->setLogQueue(&Logbook::logQueue());
        } else if (command.starts_with("log ")) {
            const long count = std::stol(command.substr(4));
            for (long i = 0; i < count; ++i) Logbook::defaultInstance().debug(name + " " + std::to_string(next++));
            Logbook::logQueue().drain();
        } else if (command == "quit") {
            return 0;
        }
        std::cout << "ok" << std::endl;
    }
    return 0;
}

int capped(const std::string& path) {
    attach(path, false);
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the cap then fails with EFBIG
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit lifted = limit;
    limit.rlim_cur = std::filesystem::file_size(path) + 50;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    Logbook::defaultInstance().debug(std::string(200, 'x'));
    if (setrlimit(RLIMIT_FSIZE, &lifted) != 0) return 3;
    Logbook::defaultInstance().debug("after");
    return 0;
}

// Made before main(), so destroyed after everything the logger creates on first use.
struct LateLogger {
    bool active = false;
    ~LateLogger() {
        if (active) Logbook::defaultInstance().debug("logged from a static destructor");
    }
} lateLogger;

int late(const std::string& path) {
    lateLogger.active = true;
    attach(path, true);
    std::thread([] {
        for (;;) Logbook::defaultInstance().debug("logged while the process ends");
    }).detach();
    Logbook::defaultInstance().debug("main returns");
    return 0;
}

int endless(const std::string& path) {
    attach(path, false)->setLogQueue(&Logbook::logQueue());
    std::thread([] {
        for (;;) Logbook::defaultInstance().debug("from a thread that never stops");
    }).detach();
    Logbook::defaultInstance().debug("main returns");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "append" && argc == 4) return append(argv[2], argv[3]);
    if (mode == "truncate" && argc == 3) return truncate(argv[2], 0) == 0 ? 0 : 3;
    if (mode == "capped" && argc == 3) return capped(argv[2]);
    if (mode == "late" && argc == 3) return late(argv[2]);
    if (mode == "endless" && argc == 3) return endless(argv[2]);
    std::cerr << "usage: log_writer append PATH NAME | truncate PATH | capped PATH | late PATH\n";
    return 2;
}
