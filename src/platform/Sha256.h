#pragma once
// SHA-256 digests written as 64 lower-case hexadecimal digits (each byte as "%02x").
//
// sha256Hex(path) streams the file through the digest in 1 MiB chunks, so memory use does
// not grow with the file size. It throws std::system_error (the errno and the path) when
// the file cannot be opened or read.
//
// Sha256 digests bytes given piece by piece (update() as often as needed, then hexDigest()
// once); for a stream read once for several purposes, such as a copy that is hashed as it is
// made.
//
// Thread-safety: callable from any thread; calls share nothing. A Sha256 object is used by one
// thread at a time.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace vorrel::platform {

std::string sha256Hex(const std::filesystem::path& path);
// The same for an open file, read from its current offset to its end (errors name `path`).
std::string sha256Hex(int fd, const std::filesystem::path& path);
std::string sha256Hex(std::span<const std::uint8_t> bytes);

class Sha256 {
public:
    Sha256();  // throws std::runtime_error when libcrypto offers no SHA-256
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void update(std::span<const std::uint8_t> bytes);
    std::string hexDigest();  // call once, after the last update()

private:
    void* context_;
};

}  // namespace vorrel::platform
