#include "platform/Suite.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/ValueJson.h"

namespace vorrel::platform {

namespace {

namespace fs = std::filesystem;

void report(const std::string& message) {
    // One write per message so concurrent messages do not interleave.
    const std::string line = "Vorrel settings: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string errnoText(int error) { return std::generic_category().message(error); }

// What identifies one version of the file on disk. A write replaces the file by rename, so
// the inode changes; size and the nanosecond times catch the rare reuse of an inode number.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

FileStamp stampOf(const struct stat& info) {
    return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset() { assign(-1); }
    void assign(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

std::string utcStampForFileName() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    gmtime_r(&now.tv_sec, &parts);
    char text[48];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d.%09ldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  now.tv_nsec);
    return text;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// Reads the whole file through an open descriptor; false with errno on failure.
bool readAll(int fd, std::string& bytes) {
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (count == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

// Moves a file that cannot be parsed out of the way. Never replaces an existing file: the
// name carries the time, and a clash gets a counter. False (with the reason reported) when
// the file stays where it is.
bool setAside(const fs::path& file) {
    const std::string base = file.string() + ".corrupt-" + utcStampForFileName();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string target = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            report("\"" + file.string() + "\" could not be read as settings; it was moved to \"" +
                   target + "\" and the suite starts empty");
            return true;
        }
        if (errno == EEXIST) continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // File systems without RENAME_NOREPLACE: link() refuses to replace as well.
            if (::link(file.c_str(), target.c_str()) == 0) {
                ::unlink(file.c_str());
                report("\"" + file.string() + "\" could not be read as settings; it was moved to \"" +
                       target + "\" and the suite starts empty");
                return true;
            }
            if (errno == EEXIST) continue;
        }
        break;
    }
    report("\"" + file.string() + "\" could not be read as settings and could not be moved "
           "aside (" + errnoText(errno) + "); it is left in place and reads as empty");
    return false;
}

// Whether the file's permission bits let its user write it. Deliberately the bits, not
// access(): a settings file its owner made read-only stays untouched also for root.
bool writableByMode(const struct stat& info) {
    if (info.st_uid == ::geteuid()) return (info.st_mode & S_IWUSR) != 0;
    if (info.st_gid == ::getegid()) return (info.st_mode & S_IWGRP) != 0;
    return (info.st_mode & S_IWOTH) != 0;
}

// An exclusive advisory lock on <file>.lock for the life of the object.
class FileLock {
public:
    explicit FileLock(const fs::path& file) {
        const std::string lockPath = file.string() + ".lock";
        fd_.assign(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (fd_.get() < 0) {
            error_ = errno;
            return;
        }
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            fd_.reset();
            return;
        }
    }
    bool locked() const { return fd_.get() >= 0; }
    int error() const { return error_; }

private:
    Fd fd_;
    int error_ = 0;
};

}  // namespace

struct Suite::Shared {
    explicit Shared(std::string suiteName) : name(std::move(suiteName)) {}

    const std::string name;

    // Serialises this process's writes and guards the cached copy of the file.
    std::mutex mutex;
    fs::path cachedPath;
    std::optional<FileStamp> cachedStamp;
    Dictionary stored;

    std::mutex registrationMutex;
    Dictionary registration;

    struct Registration {
        std::string key;
        const Suite* owner;
        std::shared_ptr<const Observer> observer;
    };
    std::mutex observerMutex;
    std::map<ObserverId, Registration> observers;

    std::optional<fs::path> resolvePath() const {
        auto base = configHome();
        if (!base) return std::nullopt;
        return *base / "vorrel" / (name + ".json");
    }

    std::optional<Value> registered(std::string_view key) {
        std::lock_guard lock(registrationMutex);
        auto it = registration.find(key);
        if (it == registration.end()) return std::nullopt;
        return it->second;
    }

    // Brings `stored` up to date with the file. Caller holds `mutex`. With `haveFileLock`
    // a file that cannot be parsed is set aside at once; without it, the file lock is taken
    // first, so a writer that just replaced the file is never mistaken for corruption.
    // Answers why the file's contents are unknown: it exists (or may exist) but cannot be
    // read, or it cannot be parsed and could not be set aside. Then `stored` is empty and
    // the file must not be replaced. Nothing when the file was read, is absent or was set
    // aside.
    std::optional<std::string> refresh(const fs::path& path, bool haveFileLock) {
        const auto unknown = [&](std::string why) {
            cachedPath = path;
            cachedStamp.reset();
            stored.clear();
            return std::optional<std::string>(std::move(why));
        };
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            if (errno != ENOENT && errno != ENOTDIR) {
                const std::string why = errnoText(errno);
                report("cannot examine \"" + path.string() + "\": " + why);
                return unknown(why);
            }
            cachedPath = path;
            cachedStamp.reset();
            stored.clear();
            return std::nullopt;
        }
        if (cachedPath == path && cachedStamp && *cachedStamp == stampOf(info)) return std::nullopt;

        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        std::string text;
        if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !readAll(fd.get(), text)) {
            const std::string why = errnoText(errno);
            report("cannot read \"" + path.string() + "\": " + why);
            return unknown(why);
        }
        try {
            stored = decodeDictionaryJson(text);
            cachedPath = path;
            cachedStamp = stampOf(info);
            return std::nullopt;
        } catch (const ValueJsonError&) {
        }
        if (!haveFileLock) {
            FileLock lock(path);
            if (lock.locked()) {
                cachedStamp.reset();
                return refresh(path, true);
            }
        }
        if (!setAside(path)) return unknown("the file is damaged and could not be moved aside");
        cachedPath = path;
        cachedStamp.reset();
        stored.clear();
        return std::nullopt;
    }

    // Writes `contents` to the file atomically. Caller holds `mutex` and the file lock.
    // Answers why nothing was written, or nothing.
    std::optional<std::string> persist(const fs::path& path, const Dictionary& contents) {
        std::string text;
        try {
            text = encodeDictionaryJson(contents);
            text.push_back('\n');
        } catch (const ValueJsonError& error) {
            report("cannot store the settings of \"" + name + "\": " + error.what());
            return error.what();
        }
        const fs::path folder = path.parent_path();
        std::string tempName = ".";
        tempName.append(path.filename().string()).append(".XXXXXX");
        std::string tempPath = (folder / tempName).string();
        Fd fd(::mkostemp(tempPath.data(), O_CLOEXEC));
        if (fd.get() < 0) {
            const std::string why = errnoText(errno);
            report("cannot create a file in \"" + folder.string() + "\": " + why);
            return why;
        }
        if (::fchmod(fd.get(), 0600) != 0 || !writeAll(fd.get(), text) || ::fsync(fd.get()) != 0) {
            const std::string why = errnoText(errno);
            report("cannot write \"" + tempPath + "\": " + why);
            ::unlink(tempPath.c_str());
            return why;
        }
        fd.reset();
        if (::rename(tempPath.c_str(), path.c_str()) != 0) {
            const std::string why = errnoText(errno);
            report("cannot replace \"" + path.string() + "\": " + why);
            ::unlink(tempPath.c_str());
            return why;
        }
        // Make the rename itself durable.
        Fd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folderFd.get() >= 0) ::fsync(folderFd.get());

        struct stat info {};
        stored = contents;
        cachedPath = path;
        if (::stat(path.c_str(), &info) == 0)
            cachedStamp = stampOf(info);
        else
            cachedStamp.reset();
        return std::nullopt;
    }
};

std::shared_ptr<Suite> Suite::open(std::string name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        throw std::invalid_argument("invalid settings suite name \"" + name + "\"");
    // One Shared per suite name for the life of the process: the registration domain and
    // the observers must outlive any single handle. Never destroyed, so handles used from
    // static destructors stay valid.
    static std::mutex registryMutex;
    static auto& map = *new std::map<std::string, std::shared_ptr<Shared>, std::less<>>();
    std::shared_ptr<Shared> shared;
    {
        std::lock_guard lock(registryMutex);
        auto it = map.find(name);
        if (it == map.end()) it = map.emplace(name, std::make_shared<Shared>(name)).first;
        shared = it->second;
    }
    return std::shared_ptr<Suite>(new Suite(std::move(shared)));
}

std::shared_ptr<Suite> Suite::standard() { return open(Bundle::main().identifier()); }

Suite::Suite(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

Suite::~Suite() {
    std::lock_guard lock(shared_->observerMutex);
    std::erase_if(shared_->observers, [this](const auto& entry) { return entry.second.owner == this; });
}

const std::string& Suite::name() const { return shared_->name; }

std::filesystem::path Suite::filePath() const {
    auto path = shared_->resolvePath();
    return path ? *path : std::filesystem::path();
}

std::optional<Value> Suite::objectForKey(std::string_view key) const {
    if (auto path = shared_->resolvePath()) {
        std::lock_guard lock(shared_->mutex);
        shared_->refresh(*path, false);
        auto it = shared_->stored.find(key);
        if (it != shared_->stored.end()) return it->second;
    }
    return shared_->registered(key);
}

Dictionary Suite::dictionaryRepresentation() const {
    Dictionary result;
    {
        std::lock_guard lock(shared_->registrationMutex);
        result = shared_->registration;
    }
    if (auto path = shared_->resolvePath()) {
        std::lock_guard lock(shared_->mutex);
        shared_->refresh(*path, false);
        for (const auto& [key, value] : shared_->stored) result.insert_or_assign(key, value);
    }
    return result;
}

void Suite::registerDefaults(const Dictionary& defaults) {
    std::lock_guard lock(shared_->registrationMutex);
    for (const auto& [key, value] : defaults) shared_->registration.insert_or_assign(key, value);
}

std::optional<SuiteWriteError> Suite::removeObject(std::string_view key) {
    return setObject(std::nullopt, key);
}

std::optional<SuiteWriteError> Suite::setObject(std::optional<Value> value, std::string_view key) {
    const auto path = shared_->resolvePath();
    if (!path) {
        report("no absolute XDG_CONFIG_HOME or HOME: the change of \"" + std::string(key) +
               "\" in \"" + shared_->name + "\" is not stored");
        return SuiteWriteError{{}, "there is no absolute XDG_CONFIG_HOME or HOME folder"};
    }
    std::optional<Value> oldStored, newStored = value;
    {
        std::lock_guard lock(shared_->mutex);
        std::error_code error;
        fs::create_directories(path->parent_path(), error);
        if (error) {
            report("cannot create \"" + path->parent_path().string() + "\": " + error.message());
            return SuiteWriteError{*path, error.message()};
        }
        FileLock fileLock(*path);
        if (!fileLock.locked()) {
            const std::string why = errnoText(fileLock.error());
            report("cannot lock \"" + path->string() + ".lock\": " + why);
            return SuiteWriteError{*path, why};
        }
        // Another process may have written since our last read: always start from the file.
        // A file whose contents are unknown is never replaced: that would lose every other
        // setting in it.
        shared_->cachedStamp.reset();
        if (auto unknown = shared_->refresh(*path, true)) {
            report("the change of \"" + std::string(key) + "\" is not stored: \"" + path->string() +
                   "\" is left as it is");
            return SuiteWriteError{*path, *unknown};
        }
        if (struct stat info {}; ::stat(path->c_str(), &info) == 0 && !writableByMode(info)) {
            const std::string why = errnoText(EACCES);
            report("\"" + path->string() + "\" is read-only: the change of \"" + std::string(key) +
                   "\" is not stored");
            return SuiteWriteError{*path, why};
        }
        Dictionary contents = shared_->stored;
        if (auto it = contents.find(key); it != contents.end()) oldStored = it->second;
        if (value)
            contents.insert_or_assign(std::string(key), std::move(*value));
        else if (auto it = contents.find(key); it != contents.end())
            contents.erase(it);
        if (auto why = shared_->persist(*path, contents)) return SuiteWriteError{*path, *why};
    }

    std::optional<Value> defaultValue = shared_->registered(key);
    const std::optional<Value>& oldValue = oldStored ? oldStored : defaultValue;
    const std::optional<Value>& newValue = newStored ? newStored : defaultValue;

    std::vector<std::shared_ptr<const Observer>> toCall;
    {
        std::lock_guard lock(shared_->observerMutex);
        for (const auto& [id, registration] : shared_->observers)
            if (registration.key == key) toCall.push_back(registration.observer);
    }
    const std::string keyText(key);
    for (const auto& observer : toCall) (*observer)(*this, keyText, oldValue, newValue);
    return std::nullopt;
}

Suite::ObserverId Suite::addObserver(std::string key, Observer observer) {
    static std::atomic<ObserverId> nextId{1};
    const ObserverId id = nextId.fetch_add(1);
    std::lock_guard lock(shared_->observerMutex);
    shared_->observers.emplace(
        id, Shared::Registration{std::move(key), this,
                                 std::make_shared<const Observer>(std::move(observer))});
    return id;
}

void Suite::removeObserver(ObserverId id) {
    std::lock_guard lock(shared_->observerMutex);
    shared_->observers.erase(id);
}

}  // namespace vorrel::platform
