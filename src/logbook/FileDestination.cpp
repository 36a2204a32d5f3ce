#include "logbook/FileDestination.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "logbook/FileUrl.h"
#include "logbook/Logbook.h"
#include "logbook/Utf8.h"
#include "platform/FileStatus.h"

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
    return static_cast<bool>(logFileHandle_);
}

namespace {

using platform::Creation;
using platform::FileDescriptor;

// The one text for a path that is not a plain file: a FIFO, a device, a folder or a link.
std::string notRegularText(const std::filesystem::path& path) {
    return "\"" + path.string() + "\" is not a regular file";
}

}  // namespace

FileDescriptor FileDestination::openHandle(const std::filesystem::path& path, bool truncate,
                                           bool& created, std::string& error) {
    created = false;
    const unsigned mode = (fileAttributes_ && fileAttributes_->posixPermissions)
                              ? static_cast<unsigned>(*fileAttributes_->posixPermissions)
                              : 0666;
    FileDescriptor handle;
    if (truncate) {
        handle = platform::openToAppend(path, Creation::truncating, mode);
        created = static_cast<bool>(handle);
    } else {
        // Never truncated when appending: a file another process creates between our two
        // opens keeps its lines. Creating only a new file tells whether it is ours to set up.
        for (int attempt = 0; attempt < 3 && !handle; ++attempt) {
            handle = platform::openToAppend(path, Creation::existing, 0);
            if (handle || errno != ENOENT) break;
            beforeCreatingFile();
            handle = platform::openToAppend(path, Creation::new_, mode);
            created = static_cast<bool>(handle);
            if (!handle && errno != EEXIST) break;
        }
    }
    if (!handle) {
        error = (errno == ELOOP || errno == ENXIO) ? notRegularText(path) : std::strerror(errno);
        return {};
    }
    const auto status = platform::statusOf(handle.get());
    if (!status || !status->isRegular()) {
        error = notRegularText(path);
        return {};
    }
    if (fileAttributes_ && fileAttributes_->posixPermissions)
        platform::setPermissions(handle.get(), mode);
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
    FileDescriptor handle = openHandle(path, !shouldAppend_, created, error);
    if (!handle) {
        std::error_code ignored;
        const bool existed = std::filesystem::symlink_status(path, ignored).type() !=
                             std::filesystem::file_type::not_found;
        logbook->_logln(std::string("Attempt to open log file for ") +
                            (shouldAppend_ && existed ? "appending" : "writing") + " failed: " + error,
                        LogLevel::error, this);
        return;
    }
    const bool appending = shouldAppend_ && !created;
    {
        std::lock_guard lock(handleMutex_);
        logFileHandle_ = std::move(handle);
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
    if (!logFileHandle_) {
        return;
    }
    platform::syncToDisk(logFileHandle_.get());
    logFileHandle_.reset();
}

void FileDestination::flush(std::function<void()> closure) {
    auto work = [this, closure = std::move(closure)] {
        {
            std::lock_guard lock(handleMutex_);
            if (logFileHandle_) {
                platform::syncToDisk(logFileHandle_.get());
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

// flock on the log for the life of the object, so that processes sharing the file write one
// line at a time. Waited for a little at most: a process that holds it for ever must not
// stop our logging (the line then goes out unlocked, still in one write).
class FileDestination::LineLockHolder {
public:
    explicit LineLockHolder(int handle)
        : handle_(handle), locked_(platform::lockWithin(handle, std::chrono::seconds(1))) {}
    ~LineLockHolder() {
        if (locked_) platform::unlock(handle_);
    }
    LineLockHolder(const LineLockHolder&) = delete;
    LineLockHolder& operator=(const LineLockHolder&) = delete;

private:
    int handle_;
    bool locked_ = false;
};

bool FileDestination::followRotation(std::unique_ptr<LineLockHolder>& lock) {
    // Another process may have rotated the file since we opened it; our handle then points
    // at the old one. Caller holds handleMutex_.
    for (int hop = 0; hop < 3; ++hop) {
        const auto ours = platform::statusOf(logFileHandle_.get());
        if (!ours) return false;
        const auto atPath = platform::statusOf(*writeToFileURL_, false);
        if (atPath && atPath->identity.device == ours->identity.device &&
            atPath->identity.inode == ours->identity.inode) {
            if (!maximumFileSize_ || ours->size() < *maximumFileSize_) return true;
            // Full: this process rotates, holding the lock of the full file.
            std::error_code failed;
            std::filesystem::rename(*writeToFileURL_, writeToFileURL_->string() + ".1", failed);
            if (failed) return true;
        }
        bool created = false;
        std::string error;
        FileDescriptor handle = openHandle(*writeToFileURL_, false, created, error);
        if (!handle) return false;
        lock.reset();
        logFileHandle_ = std::move(handle);
        lock = std::make_unique<LineLockHolder>(logFileHandle_.get());
    }
    return true;
}

void FileDestination::writeGuarded(const std::string& bytes) {
    std::lock_guard lock(handleMutex_);
    if (!logFileHandle_ || bytes.empty()) {
        return;
    }
    auto fileLock = std::make_unique<LineLockHolder>(logFileHandle_.get());
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
    const int handle = logFileHandle_.get();
    std::string last;
    const auto status = platform::statusOf(handle);
    const bool lineOpen = status && status->size() > 0 &&
                          platform::readExactlyAt(handle, last, 1, status->size() - 1) &&
                          last != "\n";
    const std::size_t breakSize = lineOpen ? 1 : 0;
    std::string buffer;
    const std::string* out = &bytes;
    if (breakSize != 0) {
        buffer.reserve(bytes.size() + 1);
        buffer += '\n';
        buffer += bytes;
        out = &buffer;
    }
    std::size_t written = 0;
    if (platform::writeAll(handle, *out, &written)) {
        return;
    }
    const int error = errno;
    if (written > breakSize) {
        // Part of this line is in the file: end it now if the file takes it (else the next
        // writer does).
        platform::writeAll(handle, "\n");
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
