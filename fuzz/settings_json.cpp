// Fuzz target: the settings reader. The bytes as JSON text through ValueJson, and as a
// suite's settings file through the suite's own reading of it.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "settings/Suite.h"
#include "settings/ValueJson.h"

using namespace vorrel::platform;
namespace fs = std::filesystem;

// The suite's folder, in a configuration folder of our own that is removed when the run ends.
static const fs::path& suiteFolder() {
    static const fs::path folder = [] {
        std::string base = (fs::temp_directory_path() / "vorrel-fuzz-XXXXXX").string();
        if (!mkdtemp(base.data()) || setenv("XDG_CONFIG_HOME", base.c_str(), 1) != 0) abort();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(getenv("XDG_CONFIG_HOME"), ignored);
        });
        return fs::path(base) / "vorrel";
    }();
    return folder;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Whatever decodes encodes to a text that decodes to the same text again.
    std::optional<Value> value;
    try {
        value = decodeJson(text);
    } catch (const ValueJsonError&) {
    }
    if (value && encodeJson(decodeJson(encodeJson(*value))) != encodeJson(*value)) abort();

    // Read key by key: every key that reads has its value (damaged or hidden keys may keep
    // earlier values). Renamed into place, so it never reuses the inode last read.
    const fs::path& folder = suiteFolder();
    fs::create_directories(folder);
    std::ofstream(folder / "next", std::ios::binary) << text;
    fs::rename(folder / "next", folder / "fuzz.json");
    const DictionaryReading reading = readDictionaryJson(text);
    static const auto suite = Suite::open("fuzz");
    const Dictionary shown = suite->dictionaryRepresentation();
    for (const auto& [key, expected] : reading.values) {
        const auto found = shown.find(key);
        if (found == shown.end() || encodeJson(found->second) != encodeJson(expected)) abort();
    }
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != "fuzz.json") fs::remove(entry.path());
    return 0;
}
