#pragma once
// The fuzz input as a file: its bytes become the contents of one anonymous in-memory file,
// reused for every input, whose /proc path the readers open as they open any file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace vorrel::fuzz {

inline const std::string& asFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("fuzz-input", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t count = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (count <= 0) std::abort();
        done += static_cast<std::size_t>(count);
    }
    return path;
}

}  // namespace vorrel::fuzz
