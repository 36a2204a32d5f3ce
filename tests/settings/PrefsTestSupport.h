#pragma once
// Helpers for the Prefs tests: a fresh suite per test inside a temporary home.

#include <atomic>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "settings/Suite.h"
#include "support/TempHome.h"

namespace vorrel::test {

// A suite name no other test of the process uses: registration domains live as long as
// the process, so suites are never shared between tests.
inline std::string uniqueSuiteName() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "suite";
    for (char& c : name)
        if (c == '/') c = '_';
    return "prefs-test." + name + "." + std::to_string(counter++);
}

class PrefsTest : public ::testing::Test {
protected:
    TempHome home;
    std::shared_ptr<platform::Suite> suite = platform::Suite::open(uniqueSuiteName());
};

}  // namespace vorrel::test
