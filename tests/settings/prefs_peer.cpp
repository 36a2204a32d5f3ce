// prefs_peer: a second process on the shared suite, driven line by line from stdin.
//
//   get    prints "true" or "false": transparentBackground() read through its key
//   raw    prints the shared suite's own answer for the key: "true", "false" or "none"
//   set B  writes B ("true"/"false") through the key, prints "ok"
//   reset  removes the stored value, prints "ok"
// It runs with the environment it is given (the test's temporary home) and the test
// bundle, so it opens the same store as the test process. Ends at end of input.

#include <iostream>
#include <string>

#include "platform/Bundle.h"
#include "settings/Prefs.h"
#include "settings/SharedSettings.h"
#include "support/TempHome.h"

int main() {
    using namespace vorrel;
    platform::Bundle::setMain(platform::Bundle(test::testInfoDictionary()));
    std::string line;
    while (std::getline(std::cin, line)) {
        const auto& key = transparentBackground();
        if (line == "get") {
            std::cout << (Prefs::get(key) ? "true" : "false") << std::endl;
        } else if (line == "raw") {
            auto object = sharedSuite()->objectForKey(key.name());
            const bool* b = object ? object->get<bool>() : nullptr;
            std::cout << (b ? (*b ? "true" : "false") : "none") << std::endl;
        } else if (line.starts_with("set ")) {
            Prefs::set(key, line.substr(4) == "true");
            std::cout << "ok" << std::endl;
        } else if (line == "reset") {
            key.reset();
            std::cout << "ok" << std::endl;
        } else {
            std::cout << "unknown command" << std::endl;
        }
    }
    return 0;
}
