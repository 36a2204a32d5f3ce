#pragma once
// What the conversion tests share: a temporary home with its group container, a capturing
// destination on the default logger, fake converters and a look into the cache folder.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "logbook/Logbook.h"
#include "conversion/GhostScript.h"
#include "cache/PreviewFiles.h"
#include "support/CapturingDestination.h"
#include "support/TempHome.h"

namespace vorrel::test {

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest() : log_(CapturingDestination::bare("test.conversion")) {
        Logbook::defaultInstance().add(log_);
    }
    ~ConversionTest() override {
        Logbook::defaultInstance().remove(log_);
        for (const char* name : {"VORREL_FAKE_RECORD", "VORREL_FAKE_DELAY", "VORREL_FAKE_STATUS"})
            unsetenv(name);
    }

    static std::filesystem::path fake(const std::string& name) {
        return std::filesystem::path(VORREL_TEST_SUPPORT_DIR) / "converters" / name;
    }
    static std::filesystem::path realConverter() {
        return std::filesystem::path(VORREL_PREFIX_DIR) / "libexec" / "vorrel" / "converter";
    }

    // A folder for what fakes record; confined converters may write there only when the
    // override allows it (TestOverride::allowWriting(records())).
    std::filesystem::path records() const {
        std::filesystem::create_directories(home_.root() / "records");
        return home_.root() / "records";
    }

    std::filesystem::path source(const std::filesystem::path& relative,
                                 std::string_view content = "%!PS-Adobe-3.0 EPSF-3.0\n") const {
        return home_.write(relative, content);
    }

    // The names in the cache folder, sorted.
    static std::vector<std::string> cacheEntries() {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(previewFilesDirectory(), error))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // True when all four conversion slots can be taken (they are given back at once).
    static bool allSlotsFree() {
        int taken = 0;
        while (taken < 4 && GhostScript::conversionSlots().try_acquire()) ++taken;
        GhostScript::conversionSlots().release(taken);
        return taken == 4;
    }

    // True when this process has no child left, reaped or not.
    static bool noChildrenLeft() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

    // The messages logged at debug level by `function`, without the once-per-process lines
    // about kernel layers this machine lacks ("Converter runs without …": which of them a test
    // sees depends on the kernel, on being root, and on which test ran first).
    std::vector<std::string> debugMessages(const std::string& function) const {
        std::vector<std::string> messages;
        for (const auto& record : log_->records())
            if (record.level == LogLevel::debug && record.functionName == function &&
                record.message.rfind("Converter runs without ", 0) != 0)
                messages.push_back(record.message);
        return messages;
    }

    TempHome home_;
    std::shared_ptr<CapturingDestination> log_;
};

}  // namespace vorrel::test
