// sandbox_launcher: starts a program under platform::Sandbox as a previewer would, and waits
// for it, for tests that need the launching process to be one of its own (one they kill, or
// one running as another user).
//     sandbox_launcher LAYERS FOLDER PROGRAM [ARGUMENT...]
// LAYERS: "all", "strict" (all, and a refused call kills the program: Sandbox::RefusalsKill),
// "abi2" (Landlock at most at ABI 2), "nolandlock", "noseccomp" or "none" (no confinement). FOLDER is the program's TMPDIR and working folder, which it may write
// beneath; it reads the system's folders and its own. The program gets TMPDIR, PATH and every
// VORREL_PROBE_* variable of ours, and the limits of a converter: 1 GiB files, 1 GiB of address
// space, at most VORREL_LAUNCHER_THREADS threads (32 when unset, no bound when empty; layer 5
// where it holds).
// Before starting it, prints one line: "thread bound: yes" or "thread bound: no (<why>)".
// Exits with the program's termination status (128 + signal), or 125 when it cannot start.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "platform/Sandbox.h"

extern char** environ;

int main(int argc, char** argv) {
    using vorrel::platform::ChildProcess;
    using vorrel::platform::Sandbox;
    namespace fs = std::filesystem;
    if (argc < 4) {
        std::cerr << "usage: sandbox_launcher LAYERS FOLDER PROGRAM [ARGUMENT...]\n";
        return 125;
    }
    const std::string layers = argv[1];
    const fs::path folder = argv[2];
    const fs::path program = argv[3];
    const auto& support = Sandbox::support();
    std::cout << "thread bound: "
              << (support.threadBound ? std::string("yes") : "no (" + support.threadBoundMissing + ")")
              << std::endl;

    Sandbox::Limits limits;
    limits.addressSpace = 1ULL << 30;
    limits.fileSize = 1ULL << 30;
    const char* threads = std::getenv("VORREL_LAUNCHER_THREADS");
    if (!threads || *threads) limits.threads = threads ? static_cast<unsigned>(std::atoi(threads)) : 32U;
    Sandbox::Layers chosen;
    chosen.landlock = layers == "all" || layers == "strict" || layers == "abi2" ||
                      layers == "noseccomp";
    chosen.seccomp = layers != "noseccomp";
    std::optional<Sandbox::LandlockAbiCeiling> ceiling;
    if (layers == "abi2") ceiling.emplace(2);
    std::optional<Sandbox::RefusalsKill> strict;
    if (layers == "strict") strict.emplace();
    Sandbox sandbox(limits, chosen);
    for (const char* system : {"/usr", "/bin", "/lib", "/lib64"})
        sandbox.allow(system, Sandbox::Access::readExecute);
    sandbox.allow(fs::canonical(program).parent_path(), Sandbox::Access::readExecute);
    sandbox.allow(folder, Sandbox::Access::full);
    for (const char* configuration :
         {"/etc/ld.so.cache", "/etc/papersize", "/etc/localtime", "/etc/fonts", "/etc/ghostscript",
          "/var/lib/ghostscript", "/var/cache/fontconfig"})
        sandbox.allow(configuration, Sandbox::Access::read);
    if (const char* input = std::getenv("VORREL_LAUNCHER_INPUT"))
        sandbox.allow(input, Sandbox::Access::read);

    ChildProcess child(program, std::vector<std::string>(argv + 4, argv + argc));
    child.setEnvironment("PATH", "/usr/bin:/bin");
    child.setEnvironment("TMPDIR", folder.string());
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        const auto equals = entry.find('=');
        if (entry.rfind("VORREL_PROBE_", 0) == 0 && equals != std::string::npos)
            child.setEnvironment(entry.substr(0, equals), entry.substr(equals + 1));
    }
    child.setWorkingDirectory(folder);
    if (layers != "none") child.confine(std::move(sandbox));
    try {
        child.launch();
    } catch (const std::exception& error) {
        std::cerr << "sandbox_launcher: " << error.what() << '\n';
        return 125;
    }
    child.wait();
    return child.terminationStatus();
}
