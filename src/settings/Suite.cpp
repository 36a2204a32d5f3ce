#include "settings/Suite.h"

#include <algorithm>
#include <atomic>
#include <chrono>
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
#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "platform/FileLock.h"
#include "platform/FileStatus.h"
#include "platform/Paths.h"
#include "settings/ValueJson.h"

namespace vorrel::platform {

namespace {

namespace fs = std::filesystem;

std::mutex& reporterMutex() {
    static std::mutex* const mutex = new std::mutex;
    return *mutex;
}
Suite::Reporter& reporter() {
    static auto* const installed = new Suite::Reporter;
    return *installed;
}

void report(const std::string& message) {
    std::lock_guard lock(reporterMutex());
    if (reporter()) {
        reporter()(message);
        return;
    }
    // One write per message so concurrent messages do not interleave.
    const std::string line = "Vorrel settings: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

constexpr std::uint64_t kMaximumFileSize = 1 << 20;
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kTemporaryFileAge = std::chrono::minutes(1);

// Where a write lands: the file itself, or the final target when the path is a symbolic
// link (a dotfiles manager's link stays a link). Nothing when the chain does not end.
std::optional<fs::path> writeTarget(const fs::path& path) {
    fs::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) return current;
        const fs::path next = fs::read_symlink(current, error);
        if (error) return std::nullopt;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return std::nullopt;
}

std::string errnoText(int error) { return std::generic_category().message(error); }

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

// Moves a file that cannot be parsed out of the way. Never replaces an existing file: the
// name carries the time, and a clash gets a counter. False (with the reason reported) when
// the file stays where it is.
bool setAside(const fs::path& file) {
    const std::string base = file.string() + ".corrupt-" + utcStampForFileName();
    std::error_code error;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string target = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        error = moveWithoutReplacing(file, target);
        if (!error) {
            report("\"" + file.string() + "\" was damaged; it was moved to \"" + target +
                   "\" and the settings that could be read were written anew");
            return true;
        }
        if (error != std::errc::file_exists) break;
    }
    report("\"" + file.string() + "\" is damaged and could not be moved aside (" +
           errnoText(error.value()) + "); it is left in place");
    return false;
}

}  // namespace

struct Suite::Shared {
    explicit Shared(std::string suiteName) : name(std::move(suiteName)) {}

    const std::string name;

    // Serialises this process's writes and guards the cached copy of the file.
    std::mutex mutex;
    fs::path cachedPath;
    std::optional<FileIdentity> cachedStamp;
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

    // What is known of the file as last read: absent, read whole, read in part (damaged),
    // or not known at all (cannot be read, not a regular file, too large). A damaged file
    // may be set aside by a writer; an unknown one is never replaced.
    enum class FileState { absent, fine, damaged, unknown };
    FileState state = FileState::absent;
    std::string problem;   // what is wrong with the file; empty when nothing is
    std::string reported;  // the last problem reported, so that each is said once
    // Values of the right key but the wrong kind, as reported by reportUnusableValue.
    std::map<std::string, std::string, std::less<>> valueProblems;

    void noteProblem(const fs::path& path, FileState newState, std::string why) {
        state = newState;
        problem = std::move(why);
        const std::string message =
            "the settings in \"" + path.string() + "\" could not be read: " + problem +
            (newState == FileState::unknown ? "; the settings read before, or the defaults, are in use"
                                            : "; the settings that could be read are in use");
        if (message == reported) return;
        reported = message;
        report(message);
    }

    // Takes a new version of the stored values; a value-kind report ends with its value.
    void adopt(Dictionary next) {
        std::erase_if(valueProblems, [&](const auto& entry) {
            const auto before = stored.find(entry.first), after = next.find(entry.first);
            return (before == stored.end()) != (after == next.end()) ||
                   (before != stored.end() && !(before->second == after->second));
        });
        stored = std::move(next);
    }

    // Brings `stored` up to date with the file. Caller holds `mutex`. Never moves or
    // changes the file: a damaged or unreadable one leaves the last good values in place
    // (keys that read are taken), and what is wrong is reported once.
    void refresh(const fs::path& path) {
        if (cachedPath != path) {
            cachedPath = path;
            cachedStamp.reset();
            adopt({});
            state = FileState::absent;
        }
        const auto unknown = [&](std::string why) {
            cachedStamp.reset();
            noteProblem(path, FileState::unknown, std::move(why));
        };
        // Non-blocking, so a FIFO at the path answers at once instead of waiting for a
        // writer; a symbolic link is followed (the file it names is the settings file).
        const FileDescriptor fd = openToRead(path, {.nonBlocking = true});
        if (!fd) {
            if (errno == ENOENT || errno == ENOTDIR) {
                cachedStamp.reset();
                adopt({});
                state = FileState::absent;
                problem.clear();
                reported.clear();
                return;
            }
            return unknown(errnoText(errno));
        }
        const std::optional<FileStatus> status = statusOf(fd.get());
        if (!status) return unknown(errnoText(errno));
        if (!status->isRegular()) return unknown("it is not a regular file");
        if (status->size() > kMaximumFileSize) return unknown("it is larger than 1 MiB");
        if (cachedStamp && *cachedStamp == status->identity) return;

        std::string text;
        if (!readAll(fd.get(), text, kMaximumFileSize)) return unknown(errnoText(errno));
        if (text.size() > static_cast<std::size_t>(kMaximumFileSize))
            return unknown("it is larger than 1 MiB");
        DictionaryReading reading = readDictionaryJson(text);
        cachedStamp = status->identity;
        if (reading.problems.empty()) {
            adopt(std::move(reading.values));
            state = FileState::fine;
            problem.clear();
            reported.clear();
            return;
        }
        // A key the damage hid keeps the value it had (a file caught half-written by an
        // editor saving in place reads as it was, not as empty).
        for (const auto& [key, value] : stored) reading.values.emplace(key, value);
        adopt(std::move(reading.values));
        std::string why;
        for (const auto& item : reading.problems) why += (why.empty() ? "" : "; ") + item;
        noteProblem(path, FileState::damaged, std::move(why));
    }

    // Temporary files of writers killed before their rename: removed once older than any
    // write takes. Caller holds the file lock, so no write of this suite is under way.
    static void sweepTemporaries(const fs::path& target) {
        const std::string prefix = "." + target.filename().string() + ".";
        const auto oldest = fs::file_time_type::clock::now() - kTemporaryFileAge;
        std::error_code error;
        for (fs::directory_iterator it(target.parent_path(), error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
            std::error_code ignored;
            if (!it->is_regular_file(ignored) || it->is_symlink(ignored)) continue;
            if (it->last_write_time(ignored) < oldest && !ignored) fs::remove(it->path(), ignored);
        }
    }

    // Writes `contents` to `target` atomically. Caller holds `mutex` and the file lock.
    // Answers why nothing was written, or nothing.
    std::optional<std::string> persist(const fs::path& path, const fs::path& target,
                                       const Dictionary& contents) {
        std::string text;
        try {
            text = encodeDictionaryJson(contents);
            text.push_back('\n');
        } catch (const ValueJsonError& error) {
            report("cannot store the settings of \"" + name + "\": " + error.what());
            return error.what();
        }
        sweepTemporaries(target);
        const fs::path folder = target.parent_path();
        std::string tempName = ".";
        tempName.append(target.filename().string()).append(".XXXXXX");
        std::string tempPath = (folder / tempName).string();
        FileDescriptor fd = createTemporaryFile(tempPath);
        if (!fd) {
            const std::string why = errnoText(errno);
            report("cannot create a file in \"" + folder.string() + "\": " + why);
            return why;
        }
        if (!writeAll(fd.get(), text) || !syncToDisk(fd.get())) {
            const std::string why = errnoText(errno);
            report("cannot write \"" + tempPath + "\": " + why);
            std::remove(tempPath.c_str());
            return why;
        }
        fd.reset();
        if (std::rename(tempPath.c_str(), target.c_str()) != 0) {
            const std::string why = errnoText(errno);
            report("cannot replace \"" + target.string() + "\": " + why);
            std::remove(tempPath.c_str());
            return why;
        }
        // Make the rename itself durable.
        if (const FileDescriptor folderFd = openFolder(folder)) syncToDisk(folderFd.get());

        adopt(contents);
        cachedPath = path;
        state = FileState::fine;
        problem.clear();
        reported.clear();
        if (const std::optional<FileStatus> status = statusOf(path))
            cachedStamp = status->identity;
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
        shared_->refresh(*path);
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
        shared_->refresh(*path);
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
        if (const std::error_code error = createPrivateFolders(path->parent_path())) {
            report("cannot create \"" + path->parent_path().string() + "\": " + error.message());
            return SuiteWriteError{*path, error.message()};
        }
        const FileLock fileLock(path->string() + ".lock", kLockWait);
        if (!fileLock.locked()) {
            const std::string why = fileLock.error() == ETIMEDOUT
                                        ? std::string("another program holds the settings lock")
                                        : errnoText(fileLock.error());
            report("cannot lock \"" + path->string() + ".lock\": " + why);
            return SuiteWriteError{*path, why};
        }
        // Another process may have written since our last read: always start from the file.
        // A file whose contents are unknown is never replaced: that would lose every other
        // setting in it.
        shared_->cachedStamp.reset();
        shared_->refresh(*path);
        using FileState = Shared::FileState;
        if (shared_->state == FileState::unknown) {
            report("the change of \"" + std::string(key) + "\" is not stored: \"" + path->string() +
                   "\" is left as it is");
            return SuiteWriteError{*path, shared_->problem};
        }
        const auto target = writeTarget(*path);
        if (!target) return SuiteWriteError{*path, errnoText(ELOOP)};
        if (const auto status = statusOf(*target); status && !status->writableByMode) {
            const std::string why = errnoText(EACCES);
            report("\"" + path->string() + "\" is read-only: the change of \"" + std::string(key) +
                   "\" is not stored");
            return SuiteWriteError{*path, why};
        }
        // Only a writer holding the lock sets a damaged file aside, and only now that it
        // must replace it: what could not be read stays for the user to recover.
        if (shared_->state == FileState::damaged && !setAside(*target))
            return SuiteWriteError{*path, "the file is damaged and could not be moved aside"};
        Dictionary contents = shared_->stored;
        if (auto it = contents.find(key); it != contents.end()) oldStored = it->second;
        if (value)
            contents.insert_or_assign(std::string(key), std::move(*value));
        else if (auto it = contents.find(key); it != contents.end())
            contents.erase(it);
        if (auto why = shared_->persist(*path, *target, contents)) return SuiteWriteError{*path, *why};
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

std::optional<SuiteReadProblem> Suite::readProblem() const {
    const auto path = shared_->resolvePath();
    if (!path) return std::nullopt;
    std::lock_guard lock(shared_->mutex);
    shared_->refresh(*path);
    std::string text = shared_->problem;
    for (const auto& [key, message] : shared_->valueProblems)
        text += (text.empty() ? "" : "; ") + message;
    if (text.empty()) return std::nullopt;
    return SuiteReadProblem{*path, text};
}

void Suite::reportUnusableValue(std::string_view key, const Value& found) const {
    static constexpr const char* kKinds[] = {"a Boolean",  "an integer", "an unsigned integer",
                                             "a number",   "a text",     "bytes",
                                             "a date",     "a list",     "a dictionary"};
    const std::string message = "the value of \"" + std::string(key) + "\" is " +
                                kKinds[static_cast<int>(found.kind())] +
                                ", which that setting cannot take; its default is used";
    const auto path = shared_->resolvePath();
    std::lock_guard lock(shared_->mutex);
    auto [it, added] = shared_->valueProblems.try_emplace(std::string(key), message);
    if (!added && it->second == message) return;
    it->second = message;
    report("the settings in \"" + (path ? path->string() : shared_->name) + "\": " + message);
}

void Suite::setReporter(Reporter reporter) {
    std::lock_guard lock(reporterMutex());
    vorrel::platform::reporter() = std::move(reporter);
}

}  // namespace vorrel::platform
