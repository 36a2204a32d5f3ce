#include "platform/Sha256.h"

#include <fcntl.h>
// The one-shot functions: deprecated for the library's general interface, which fetches the
// algorithm from a provider in every process that first asks (about 1.5 ms, before a preview's
// converter can start); these run the same machine code, with no provider, per-thread or
// exit-time state. Only the context's type is taken from the header: the functions are looked
// up when the first digest is made (below).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/ModuleLocation.h"
#include "platform/PrintableText.h"

namespace vorrel::platform {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

// libcrypto is loaded with the first digest, not with the program: of a program's libraries
// it is the slowest to load after the C++ runtime (2 to 3 ms of every start), and a look at a
// file the cache already knows makes no digest at all.
constexpr const char* kLibrary = "libcrypto.so.3";

struct Functions {
    int (*init)(SHA256_CTX*) = nullptr;
    int (*update)(SHA256_CTX*, const void*, std::size_t) = nullptr;
    int (*final)(unsigned char*, SHA256_CTX*) = nullptr;
    std::string error;
};

template <typename Function>
bool lookUp(Function& function, const char* name, std::string* error) {
    function = reinterpret_cast<Function>(moduleFunction(kLibrary, name, error));
    return function != nullptr;
}

const Functions& functions() {
    static const Functions loaded = [] {
        Functions found;
        if (lookUp(found.init, "SHA256_Init", &found.error) &&
            lookUp(found.update, "SHA256_Update", &found.error))
            lookUp(found.final, "SHA256_Final", &found.error);
        return found;
    }();
    if (!loaded.final)
        throw std::runtime_error("SHA-256 is not available from libcrypto: " + loaded.error);
    return loaded;
}

using Context = std::unique_ptr<SHA256_CTX>;

Context newContext() {
    auto context = std::make_unique<SHA256_CTX>();
    if (functions().init(context.get()) != 1)
        throw std::runtime_error("SHA-256 is not available from libcrypto");
    return context;
}

void update(SHA256_CTX* context, const void* data, std::size_t size) {
    if (functions().update(context, data, size) != 1)
        throw std::runtime_error("SHA-256 update failed");
}

std::string finish(SHA256_CTX* context) {
    std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
    if (functions().final(digest.data(), context) != 1)
        throw std::runtime_error("SHA-256 final step failed");
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (const unsigned char byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0f]);
    }
    return hex;
}

[[noreturn]] void throwErrno(int error, const char* what, const std::filesystem::path& path) {
    throw std::system_error(
        error, std::generic_category(),
        std::string(what) + " \"" + escapeControlCharacters(path.string()) + "\"");
}

}  // namespace

std::string sha256Hex(const std::filesystem::path& path) {
    const FileDescriptor fd = openFile(path.c_str(), O_RDONLY);
    if (!fd) throwErrno(errno, "cannot open", path);
    return sha256Hex(fd.get(), path);
}

std::string sha256Hex(int fd, const std::filesystem::path& path) {
    // Only a hint: the file is read once, front to back; a failure changes nothing.
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    Context context = newContext();
    // As large as the file (at least a page), at most one chunk, not filled beforehand: a
    // megabyte of fresh pages costs a small file's preview milliseconds in page faults.
    const std::optional<FileStatus> status = statusOf(fd);
    const std::size_t size = std::clamp<std::size_t>(
        status && status->size() > 0 ? static_cast<std::size_t>(status->size()) + 1 : 0, 4096,
        kChunkSize);
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(size);
    for (;;) {
        const long count = readSome(fd, buffer.get(), size);
        if (count < 0) throwErrno(errno, "cannot read", path);
        if (count == 0) break;
        update(context.get(), buffer.get(), static_cast<std::size_t>(count));
    }
    return finish(context.get());
}

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
    Context context = newContext();
    update(context.get(), bytes.data(), bytes.size());
    return finish(context.get());
}

Sha256::Sha256() : context_(newContext().release()) {}

Sha256::~Sha256() {
    delete static_cast<SHA256_CTX*>(context_);
}

void Sha256::update(std::span<const std::uint8_t> bytes) {
    vorrel::platform::update(static_cast<SHA256_CTX*>(context_), bytes.data(), bytes.size());
}

std::string Sha256::hexDigest() {
    return finish(static_cast<SHA256_CTX*>(context_));
}

}  // namespace vorrel::platform
