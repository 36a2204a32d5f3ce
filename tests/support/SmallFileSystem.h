#pragma once
// SmallFileSystem: a tmpfs of a given size mounted on a folder for a test's lifetime (the
// folder is made if missing), unmounted when it goes. Mounting needs root or a mount namespace
// of the test's own; where it fails, mounted() is false and why() says what stopped it, for the
// test to skip with.

#include <cstdint>
#include <filesystem>
#include <string>

namespace vorrel::test {

class SmallFileSystem {
public:
    SmallFileSystem(std::filesystem::path folder, std::uint64_t bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace vorrel::test
