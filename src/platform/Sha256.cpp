#include "platform/Sha256.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/PrintableText.h"

namespace vorrel::platform {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

// The library's clean-up at exit frees the state of every thread that used it, also of a thread
// still ending beside the exit, which then frees it a second time: a pool thread the shutdown
// has joined (QThread::wait() returns before the thread's own destructors have run) did so.
// Asked for before any other use, no clean-up is registered; the process's end frees it all.
// The system's configuration is still read: it also governs TLS in the same process.
void initialiseLibrary() {
    static const bool initialised =
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT | OPENSSL_INIT_LOAD_CONFIG, nullptr) == 1;
    (void)initialised;
}

Context newContext() {
    initialiseLibrary();
    Context context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available from libcrypto");
    return context;
}

void update(EVP_MD_CTX* context, const void* data, std::size_t size) {
    if (EVP_DigestUpdate(context, data, size) != 1)
        throw std::runtime_error("SHA-256 update failed");
}

std::string finish(EVP_MD_CTX* context) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &length) != 1)
        throw std::runtime_error("SHA-256 final step failed");
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(kDigits[digest[i] >> 4]);
        hex.push_back(kDigits[digest[i] & 0x0f]);
    }
    return hex;
}

[[noreturn]] void throwErrno(int error, const char* what, const std::filesystem::path& path) {
    throw std::system_error(error, std::generic_category(),
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
    std::vector<unsigned char> buffer(kChunkSize);
    for (;;) {
        const long count = readSome(fd, buffer.data(), buffer.size());
        if (count < 0) throwErrno(errno, "cannot read", path);
        if (count == 0) break;
        update(context.get(), buffer.data(), static_cast<std::size_t>(count));
    }
    return finish(context.get());
}

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
    Context context = newContext();
    update(context.get(), bytes.data(), bytes.size());
    return finish(context.get());
}

Sha256::Sha256() : context_(newContext().release()) {}

Sha256::~Sha256() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context_)); }

void Sha256::update(std::span<const std::uint8_t> bytes) {
    vorrel::platform::update(static_cast<EVP_MD_CTX*>(context_), bytes.data(), bytes.size());
}

std::string Sha256::hexDigest() { return finish(static_cast<EVP_MD_CTX*>(context_)); }

}  // namespace vorrel::platform
