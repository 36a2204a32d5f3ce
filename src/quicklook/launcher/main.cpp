// vorrel-quicklook FILE… — the program: gives the converter a head start, then runs the
// quick-look service (ServiceMain.cpp, the module P/lib/vorrel/service/vorrel-quicklook.so).
//
// The service's libraries (Qt, its PDF engine, their dependencies: some sixty) take longer to
// load than a small document takes to convert. So this program links none of them: when the
// command line asks to preview a file (LaunchCommand.h), it first forks the conversion the
// preview will ask for (HeadStart.h, ForkedWork.h), and only then loads the service, which
// finds the converted file in the cache or waits for it (ConversionClaim.h). The service holds
// the forked process from then on: it is reaped when it ends, and stopped when the service
// exits or is stopped. Everything else, the command line included, is the service's.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ForkedWork.h"
#include "platform/ModuleLocation.h"
#include "preview/headstart/HeadStart.h"
#include "quicklook/launcher/LaunchCommand.h"

namespace {

// P/lib/vorrel, from this program's folder P/bin: the extension's folder, holding the
// service's module in "service".
std::filesystem::path libraryFolder() {
    static const int anchor = 0;
    return vorrel::platform::moduleFolder(&anchor).parent_path() / "lib" / "vorrel";
}

}  // namespace

int main(int argc, char* argv[]) {
    pid_t headStart = -1;
    if (const auto file =
            vorrel::quicklook::fileToStartOn(std::vector<std::string>(argv + 1, argv + argc))) {
        // Until the service can stop it in order (ServiceMain.cpp releases them).
        vorrel::platform::holdTerminationSignals();
        headStart = vorrel::platform::startForkedWork([file = *file](std::stop_token stop) {
            vorrel::runHeadStart(file, libraryFolder(), std::move(stop));
        });
    }

    std::string error;
    const auto service = reinterpret_cast<int (*)(int, char**, int)>(
        vorrel::platform::moduleFunction(libraryFolder() / "service" / "vorrel-quicklook.so",
                                         "vorrel_quicklook_service", &error));
    if (!service) {
        std::fprintf(stderr, "vorrel-quicklook: %s\n", error.c_str());
        vorrel::platform::ForkedWork(headStart).stop();
        return 1;
    }
    return service(argc, argv, headStart);
}
