#include "logbook/FileDestination.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "logbook/FileUrl.h"
#include "logbook/Logbook.h"
#include "logbook/Utf8.h"

namespace vorrel {

FileDestination::FileDestination(Logbook* owner, LogFileLocation writeToFile, std::string identifier,
                                 bool shouldAppend, std::optional<std::string> appendMarker,
                                 std::optional<FileAttributes> attributes)
    : BaseQueuedDestination(owner, std::move(identifier)),
      writeToFileURL_(writeToFile.resolved()),
      shouldAppend_(shouldAppend),
      appendMarker_(std::move(appendMarker)),
      fileAttributes_(std::move(attributes)) {
    if (owner != nullptr) {
        openFile();
    }
}

FileDestination::~FileDestination() {
    // Queued work holds a reference to this destination, so nothing is queued for it any
    // more: closing here loses no line.
    closeHandle();
}

void FileDestination::setOwner(Logbook* owner) {
    BaseQueuedDestination::setOwner(owner);
    if (owner != nullptr) {
        openFile();
    } else {
        closeFile();
    }
}

bool FileDestination::isOpen() const {
    std::lock_guard lock(handleMutex_);
    return logFileHandle_ >= 0;
}

namespace {

// Read access too, so a writer can look at the file's last byte (see writeGuarded).
constexpr int kOpenFlags = O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// open() with our flags; a file we may write but not read is opened write-only.
int openLog(const std::filesystem::path& path, int extraFlags, mode_t mode) {
    const int handle = ::open(path.c_str(), kOpenFlags | extraFlags, mode);
    if (handle >= 0 || errno != EACCES) return handle;
    return ::open(path.c_str(), (kOpenFlags & ~O_RDWR) | O_WRONLY | extraFlags, mode);
}

// The one text for a path that is not a plain file: a FIFO, a device, a folder or a link.
std::string notRegularText(const std::filesystem::path& path) {
    return "\"" + path.string() + "\" is not a regular file";
}

}  // namespace

int FileDestination::openHandle(const std::filesystem::path& path, bool truncate, bool& created,
                                std::string& error) {
    created = false;
    const mode_t mode = (fileAttributes_ && fileAttributes_->posixPermissions)
                            ? static_cast<mode_t>(*fileAttributes_->posixPermissions)
                            : 0666;
    int handle = -1;
    if (truncate) {
        handle = openLog(path, O_CREAT | O_TRUNC, mode);
        created = handle >= 0;
    } else {
        // Never O_TRUNC when appending: a file another process creates between our two
        // opens keeps its lines. O_EXCL tells us whether the file is ours to set up.
        for (int attempt = 0; attempt < 3 && handle < 0; ++attempt) {
            handle = openLog(path, 0, 0);
            if (handle >= 0 || errno != ENOENT) break;
            beforeCreatingFile();
            handle = openLog(path, O_CREAT | O_EXCL, mode);
            created = handle >= 0;
            if (handle < 0 && errno != EEXIST) break;
        }
    }
    if (handle < 0) {
        error = (errno == ELOOP || errno == ENXIO) ? notRegularText(path) : std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = notRegularText(path);
        ::close(handle);
        return -1;
    }
    // On the file opened, never through a path a link could redirect.
    if (fileAttributes_ && fileAttributes_->posixPermissions)
        ::fchmod(handle, static_cast<mode_t>(*fileAttributes_->posixPermissions));
    return handle;
}

void FileDestination::openFile() {
    Logbook* logbook = owner();
    if (logbook == nullptr) {
        return;
    }
    if (isOpen()) {
        closeFile();
    }
    if (!writeToFileURL_) {
        return;
    }
    const std::filesystem::path& path = *writeToFileURL_;
    bool created = false;
    std::string error;
    const int handle = openHandle(path, !shouldAppend_, created, error);
    if (handle < 0) {
        struct stat info {};
        const bool existed = ::lstat(path.c_str(), &info) == 0;
        logbook->_logln(std::string("Attempt to open log file for ") +
                            (shouldAppend_ && existed ? "appending" : "writing") + " failed: " + error,
                        LogLevel::error, this);
        return;
    }
    const bool appending = shouldAppend_ && !created;
    {
        std::lock_guard lock(handleMutex_);
        logFileHandle_ = handle;
    }
    if (appending) {
        if (appendMarker_) {
            const std::string marker = *appendMarker_ + "\n";
            if (isValidUtf8(marker)) {
                writeGuarded(marker);
            }
        }
    }

    logbook->logAppDetails(this);

    const std::string message = std::string("Logbook ") + (appending ? "appending" : "writing") +
                                " log to: " + fileUrlString(path);
    logbook->_logln(message, LogLevel::info, this);
    if (!logbook->destination(identifier())) {
        processInternal(LogDetails{LogLevel::info, std::chrono::system_clock::now(), message,
                                   {}, {}, 0, Logbook::internalUserInfo()});
    }
}

void FileDestination::closeFile() {
    // Lines already submitted belong to the run being closed: let them reach the file.
    if (SerialQueue* queue = logQueue(); queue != nullptr) {
        queue->drain();
    }
    closeHandle();
}

void FileDestination::closeHandle() {
    std::lock_guard lock(handleMutex_);
    if (logFileHandle_ < 0) {
        return;
    }
    ::fsync(logFileHandle_);
    ::close(logFileHandle_);
    logFileHandle_ = -1;
}

void FileDestination::flush(std::function<void()> closure) {
    auto work = [this, closure = std::move(closure)] {
        {
            std::lock_guard lock(handleMutex_);
            if (logFileHandle_ >= 0) {
                ::fsync(logFileHandle_);
            }
        }
        if (closure) {
            closure();
        }
    };
    if (SerialQueue* queue = logQueue(); queue != nullptr) {
        auto self = weak_from_this().lock();
        queue->async([self = std::move(self), work = std::move(work)] { work(); });
    } else {
        work();
    }
}

void FileDestination::write(const std::string& message) {
    if (!isValidUtf8(message)) {
        return;
    }
    std::string line;
    line.reserve(message.size() + 1);
    line += message;
    line += '\n';
    writeGuarded(line);
}

namespace {

// Writes as much of the bytes as the file takes; the count written, and errno on failure.
std::size_t writeAll(int handle, const char* data, std::size_t size, int& error) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(handle, data + done, size - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    return done;
}

}  // namespace

// flock on the log for the life of the object, so that processes sharing the file write one
// line at a time. Waited for a little at most: a process that holds it for ever must not
// stop our logging (the line then goes out unlocked, still in one write).
class FileDestination::LineLockHolder {
public:
    explicit LineLockHolder(int handle) : handle_(handle) {
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (::flock(handle_, LOCK_EX | LOCK_NB) == 0) {
                locked_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            ::usleep(attempt < 20 ? 100 : 5000);
        }
    }
    ~LineLockHolder() {
        if (locked_) ::flock(handle_, LOCK_UN);
    }
    LineLockHolder(const LineLockHolder&) = delete;
    LineLockHolder& operator=(const LineLockHolder&) = delete;

private:
    int handle_;
    bool locked_ = false;
};

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool FileDestination::followRotation(std::unique_ptr<LineLockHolder>& lock) {
    // Another process may have rotated the file since we opened it; our handle then points
    // at the old one. Caller holds handleMutex_.
    for (int hop = 0; hop < 3; ++hop) {
        struct stat ours {}, atPath {};
        if (::fstat(logFileHandle_, &ours) != 0) return false;
        if (::lstat(writeToFileURL_->c_str(), &atPath) == 0 && sameFile(ours, atPath)) {
            if (!maximumFileSize_ || ours.st_size < static_cast<off_t>(*maximumFileSize_)) return true;
            // Full: this process rotates, holding the lock of the full file.
            const std::string rotated = writeToFileURL_->string() + ".1";
            if (::rename(writeToFileURL_->c_str(), rotated.c_str()) != 0) return true;
        }
        bool created = false;
        std::string error;
        const int handle = openHandle(*writeToFileURL_, false, created, error);
        if (handle < 0) return false;
        lock.reset();
        ::close(logFileHandle_);
        logFileHandle_ = handle;
        lock = std::make_unique<LineLockHolder>(handle);
    }
    return true;
}

void FileDestination::writeGuarded(const std::string& bytes) {
    std::lock_guard lock(handleMutex_);
    if (logFileHandle_ < 0 || bytes.empty()) {
        return;
    }
    auto fileLock = std::make_unique<LineLockHolder>(logFileHandle_);
    if (writeToFileURL_ && !followRotation(fileLock)) {
        fileLock.reset();
        const std::string report =
            "Objective-C Exception occurred: " + notRegularText(*writeToFileURL_) + "\n";
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::fflush(stdout);
        return;
    }
    // One write() per line, so lines of several processes never mix. A line that any
    // writer left unfinished (a full disk) is ended first: ours starts on a line of its own.
    struct stat info {};
    char last = '\n';
    if (::fstat(logFileHandle_, &info) == 0 && info.st_size > 0 &&
        ::pread(logFileHandle_, &last, 1, info.st_size - 1) != 1)
        last = '\n';
    const std::size_t breakSize = last != '\n' ? 1 : 0;
    std::string buffer;
    const std::string* out = &bytes;
    if (breakSize != 0) {
        buffer.reserve(bytes.size() + 1);
        buffer += '\n';
        buffer += bytes;
        out = &buffer;
    }
    int error = 0;
    const std::size_t written = writeAll(logFileHandle_, out->data(), out->size(), error);
    if (written == out->size()) {
        return;
    }
    if (written > breakSize) {
        // Part of this line is in the file: end it now if the file takes it (else the next
        // writer does).
        int ignored = 0;
        writeAll(logFileHandle_, "\n", 1, ignored);
    }
    fileLock.reset();
    const std::string report = std::string("Objective-C Exception occurred: ") + std::strerror(error) + "\n";
    flockfile(stdout);
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}

std::string FileDestination::debugDescription() const {
    std::ostringstream text;
    text << "FileDestination: " << identifier() << " - LogFile: "
         << (writeToFileURL_ ? fileUrlString(*writeToFileURL_) : std::string("(none)")) << " - "
         << BaseQueuedDestination::debugDescription();
    return std::move(text).str();
}

}  // namespace vorrel
