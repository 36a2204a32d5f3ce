#include "conversion/ConverterPolicy.h"

#include <mutex>
#include <string>

#include "logbook/Logbook.h"

namespace vorrel {

namespace fs = std::filesystem;
using Access = platform::Sandbox::Access;

platform::Sandbox ConverterPolicy::sandbox(const fs::path& converter, const fs::path& source,
                                           const fs::path& output, const fs::path& temporaryFolder,
                                           std::chrono::milliseconds processorTime,
                                           platform::Sandbox::Layers layers) {
    platform::Sandbox::Limits limits;
    limits.processorTime = std::chrono::ceil<std::chrono::seconds>(processorTime);
    limits.addressSpace = kAddressSpace;
    limits.fileSize = kLargestFile;
    limits.threads = kThreads;
    limits.openFiles = kOpenFiles;
    platform::Sandbox sandbox(limits, layers);

    for (const char* folder : {"/usr", "/bin", "/lib", "/lib64"})
        sandbox.allow(folder, Access::readExecute);
    for (const char* configuration :
         {"/etc/ld.so.cache", "/etc/papersize", "/etc/localtime", "/etc/fonts", "/etc/ghostscript",
          "/var/lib/ghostscript", "/var/cache/fontconfig"})
        sandbox.allow(configuration, Access::read);

    // The converter may be a link into the system (the installed layout) or a program of its
    // own elsewhere; either way it must be able to run, and to read what lies beside it.
    std::error_code error;
    const fs::path program = fs::canonical(converter, error);
    if (!error) {
        sandbox.allow(program, Access::readExecute);
        sandbox.allow(program.parent_path(), Access::readExecute);
    }
    sandbox.allow(source, Access::read);
    sandbox.allow(temporaryFolder, Access::full);
    sandbox.allow(output, Access::writeFile);
    return sandbox;
}

void ConverterPolicy::prepare() {
    platform::Sandbox::support();
}

void ConverterPolicy::logSkippedLayers() {
    static std::once_flag once;
    std::call_once(once, [] {
        const auto& support = platform::Sandbox::support();
        auto& log = Logbook::defaultInstance();
        if (support.landlockAbi == 0)
            log.debug("Converter runs without file-system confinement: " + support.landlockMissing,
                      "run()");
        if (!support.seccomp)
            log.debug("Converter runs without system-call filter: " + support.seccompMissing,
                      "run()");
        if (!support.threadBound)
            log.debug("Converter runs without a bound on its threads: " +
                          support.threadBoundMissing,
                      "run()");
    });
}

}  // namespace vorrel
