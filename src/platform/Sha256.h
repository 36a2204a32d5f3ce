#pragma once
// SHA-256 digests written as 64 lower-case hexadecimal digits (each byte as "%02x").
//
// sha256Hex(path) streams the file through the digest in 1 MiB chunks, so memory use does
// not grow with the file size. It throws std::system_error (the errno and the path) when
// the file cannot be opened or read.
//
// Thread-safety: callable from any thread; calls share nothing.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace vorrel::platform {

std::string sha256Hex(const std::filesystem::path& path);
std::string sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace vorrel::platform
