#include "logbook/FileDestination.h"

#include <errno.h>
#include <fcntl.h>
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
    std::error_code existsError;
    const bool fileExists = std::filesystem::exists(path, existsError);
    const bool appending = fileExists && shouldAppend_;

    if (!appending) {
        const mode_t mode = (fileAttributes_ && fileAttributes_->posixPermissions)
                                ? static_cast<mode_t>(*fileAttributes_->posixPermissions)
                                : 0666;
        // A failure here shows up as the failing open below, which is reported.
        const int created = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
        if (created >= 0) {
            ::close(created);
        }
    }

    // Append mode: every write lands at the end of the file as it is at that moment, so
    // several processes logging to one file, or someone truncating it, overwrite nothing.
    const int handle = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (handle < 0) {
        const int error = errno;
        logbook->_logln(std::string("Attempt to open log file for ") +
                            (appending ? "appending" : "writing") +
                            " failed: " + std::strerror(error),
                        LogLevel::error, this);
        return;
    }
    {
        std::lock_guard lock(handleMutex_);
        logFileHandle_ = handle;
        fragmentOpen_ = false;
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

void FileDestination::writeGuarded(const std::string& bytes) {
    std::lock_guard lock(handleMutex_);
    if (logFileHandle_ < 0 || bytes.empty()) {
        return;
    }
    // One write() per line, so lines of several processes never mix. A line a failed
    // write left unfinished is ended first: the next line must start on a line of its own.
    const std::size_t breakSize = fragmentOpen_ ? 1 : 0;
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
        fragmentOpen_ = false;
        return;
    }
    if (written > breakSize) {
        // Part of this line is in the file: end it now, or before the next line.
        int ignored = 0;
        fragmentOpen_ = writeAll(logFileHandle_, "\n", 1, ignored) != 1;
    } else if (written == breakSize) {
        fragmentOpen_ = false;
    }
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
