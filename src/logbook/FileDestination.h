#pragma once
// FileDestination: appends rendered lines, each followed by "\n", to a UTF-8 text file.
//
// Life of a destination:
//   - Constructed: closed (unless an owner is given, which opens it at once).
//   - Owner set (Logbook::add): openFile(). Owner cleared (Logbook::remove): closeFile().
//     Every attachment starts a new run in the file.
//   - Released: lines still queued for it are written, then the file is closed.
//
// openFile():
//   1. No owner: stop. 2. A file is open: closeFile() first. 3. No location: stop.
//   4. fileExists = something exists at the path.
//   5. shouldAppend off or no file: create it empty (replacing an existing one), with the
//      attributes' permissions when given.
//   6./7. Open for writing. On failure the owner reports, at error level, "Attempt to open
//      log file for appending|writing failed: <system's error text>" to its other
//      destinations (this one is the source, so it is skipped); the destination stays
//      closed and drops its lines.
//   8. On success, when appending to an existing file: seek to its end and write
//      appendMarker + "\n" at once, before any line of the new run.
//   9. The owner writes its two app-details lines here (once per destination object).
//  10. "Logbook appending|writing log to: file:///..." at info to every destination of the
//      owner, and to this one as well while it is not yet registered.
//
// write(): a line that is not valid UTF-8 is skipped; with no open file it is dropped; a
// failed write (for example a full disk) prints
// "Objective-C Exception occurred: <error text>" to standard output, the line is lost and
// logging goes on.
//
// The file is opened in append mode: every line goes to the end of the file as it is at
// that moment, in one write, under an flock of the file (waited for briefly), so several
// processes may log to one file and a file truncated by someone else simply continues
// from its new end. A line cut short (a full disk) is ended with a line break at once when
// the file takes it, else by whichever writer comes next: each writer first looks at the
// file's last byte.
// Size cap (maximumFileSize, off by default): a writer that finds the file at or above the
// cap renames it to "<name>.1" (replacing an older one) and starts a new file; writers of
// other processes notice that the path names another file and follow it.
//
// Thread-safety: openFile, closeFile and the marker run on the configuring thread; lines
// are written on the logQueue when one is set. The file handle is guarded, so a write
// never meets a half-closed file. closeFile first waits for lines already queued for the
// file (unless called on that queue), so detaching or releasing loses nothing.

#include <filesystem>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "logbook/BaseQueuedDestination.h"
#include "logbook/LogFileLocation.h"
#include "platform/FileDescriptor.h"

namespace vorrel {

// Attributes given to a log file when it is created.
struct FileAttributes {
    std::optional<std::filesystem::perms> posixPermissions;
};

class FileDestination : public BaseQueuedDestination {
public:
    FileDestination(Logbook* owner, LogFileLocation writeToFile,
                    std::string identifier = "com.tessaline.logbook.logdestination.file",
                    bool shouldAppend = false,
                    std::optional<std::string> appendMarker = std::string("-- ** ** ** --"),
                    std::optional<FileAttributes> attributes = std::nullopt);
    ~FileDestination() override;

    // Opens (owner present) or closes (owner absent) the file.
    void setOwner(Logbook* owner) override;

    const std::optional<std::filesystem::path>& writeToFileURL() const { return writeToFileURL_; }
    void setWriteToFileURL(std::optional<std::filesystem::path> location) { writeToFileURL_ = std::move(location); }
    bool isOpen() const;
    bool shouldAppend() const { return shouldAppend_; }
    void setShouldAppend(bool append) { shouldAppend_ = append; }
    const std::optional<std::string>& appendMarker() const { return appendMarker_; }
    void setAppendMarker(std::optional<std::string> marker) { appendMarker_ = std::move(marker); }
    const std::optional<FileAttributes>& fileAttributes() const { return fileAttributes_; }
    void setFileAttributes(std::optional<FileAttributes> attributes) { fileAttributes_ = std::move(attributes); }
    // Set before the destination is attached.
    const std::optional<std::uintmax_t>& maximumFileSize() const { return maximumFileSize_; }
    void setMaximumFileSize(std::optional<std::uintmax_t> bytes) { maximumFileSize_ = bytes; }

    void openFile();
    void closeFile();
    // Synchronises the file to storage, then runs the closure; on the logQueue when one is
    // set (returning at once), else now.
    void flush(std::function<void()> closure = {});

    void write(const std::string& message) override;
    std::string debugDescription() const override;

protected:
    // Test seam: runs when no file was found and one is about to be created.
    virtual void beforeCreatingFile() {}

private:
    class LineLockHolder;
    platform::FileDescriptor openHandle(const std::filesystem::path& path, bool truncate,
                                        bool& created, std::string& error);
    bool followRotation(std::unique_ptr<LineLockHolder>& lock);
    void writeGuarded(const std::string& bytes);
    void closeHandle();

    std::optional<std::filesystem::path> writeToFileURL_;
    platform::FileDescriptor logFileHandle_;
    bool shouldAppend_;
    std::optional<std::string> appendMarker_;
    std::optional<FileAttributes> fileAttributes_;
    std::optional<std::uintmax_t> maximumFileSize_;
    mutable std::mutex handleMutex_;
};

}  // namespace vorrel
