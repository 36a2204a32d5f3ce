#pragma once
// Suite: a per-user defaults suite, the key/value store both deliverables share.
//
// A suite is named; its values live in ${XDG_CONFIG_HOME:-$HOME/.config}/vorrel/<name>.json
// and keep their kind losslessly (see Value). Registered defaults live in memory only and
// are consulted last. Storing nothing removes the key.
//
// What happens on a write (setObject / removeObject):
//   1. Create the folder (and missing parents) with mode 0700. Take the process-wide lock
//      of the suite name, then an advisory lock (flock) on <name>.json.lock, waiting at
//      most 2 s (a lock held longer fails the write), so writes happen one at a time.
//   2. Re-read the file (another process may have written since), apply the one change.
//   3. Remove this suite's temporary files older than a minute (left by killed writers).
//      Write the whole dictionary to a new temporary file beside the file, fsync it,
//      rename it over the file: a crash never leaves a half-written file. When <name>.json
//      is a symbolic link, the file it names is replaced and the link stays.
//   4. Release the locks, then tell the key's observers (on this thread) old and new value.
// Reading: the file is re-read when it changed on disk since the last read (identity,
// size, times), so a reader sees another process's write at its next read. Only a regular
// file of at most 1 MiB is read (a FIFO, a device or a larger file is refused without
// waiting). A reader never moves or changes the file. The file is read key by key: a
// damaged value costs only its own key, and a key the damage hid (a file cut short, for
// instance by an editor saving in place) keeps the value last read. What is wrong is
// reported once (see setReporter) and answered by readProblem().
// A writer that finds the file damaged renames it to <name>.json.corrupt-<timestamp> and
// writes what could be read plus its change; a damaged file is never overwritten in
// place. A file whose contents cannot be known (unreadable, not a regular file, too large,
// or damaged and impossible to set aside) and a file whose permission bits make it
// read-only are never replaced: a write then fails and the file stays as it is.
//
// Thread-safety: every operation may be called from any thread.
//
// Observation: every write through any Suite handle of the same name in this process
// notifies the observers registered on any handle of that name, for that key, on the
// writing thread, with the effective old and new values (registration domain included).
// Observers are called without any lock held, so they may add or remove observers. An
// observer stays registered until removeObserver() or until the handle it was added through
// is destroyed. A write that cannot be stored (see below) notifies nobody.
//
// Where no absolute XDG_CONFIG_HOME or HOME exists, the suite has no file: reads answer
// from the registration domain and writes are dropped with a message on stderr. The path
// is resolved from the environment at every operation. Failures of the file system never
// throw; they are reported (on stderr unless a reporter is set) and the operation does what
// it can. A write that is
// not stored also answers why (SuiteWriteError), so the caller can tell the user.
//
// File format: one JSON object, the dictionary of stored values in the tagged form of
// platform/ValueJson.h.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Value.h"

namespace vorrel::platform {

// Why a change was not stored: the settings file it was meant for (empty when there is no
// base folder) and the system's description of the error.
struct SuiteWriteError {
    std::filesystem::path file;
    std::string message;
};

// Why the settings file could not be read, or read only in part: the file and what is
// wrong with it, in plain words.
struct SuiteReadProblem {
    std::filesystem::path file;
    std::string message;
};

class Suite : public std::enable_shared_from_this<Suite> {
public:
    // Opens (does not yet read) the suite with this name. Names are file names: they must
    // not be empty, ".", ".." or contain '/' (std::invalid_argument).
    static std::shared_ptr<Suite> open(std::string name);
    // The deliverable's own suite, named by its main bundle's identifier
    // (std::invalid_argument when the main bundle has no usable identifier).
    static std::shared_ptr<Suite> standard();

    const std::string& name() const;
    // The suite's file under the current environment; empty when there is no base folder.
    std::filesystem::path filePath() const;

    // The stored value, else the registered default, else nothing.
    std::optional<Value> objectForKey(std::string_view key) const;
    // Stores the value; nothing removes the stored value. Answers why the change was not
    // stored, or nothing when it was.
    std::optional<SuiteWriteError> setObject(std::optional<Value> value, std::string_view key);
    std::optional<SuiteWriteError> removeObject(std::string_view key);
    // Stored values merged over the registered defaults.
    Dictionary dictionaryRepresentation() const;
    // What is wrong with the settings file as it is now (re-read when it changed), including
    // the values reported through reportUnusableValue(); nothing when it reads whole or is
    // absent.
    std::optional<SuiteReadProblem> readProblem() const;
    // Reports, once per key and stored value, that the stored value `found` of `key` is of a
    // kind the key cannot take, so its default is used.
    void reportUnusableValue(std::string_view key, const Value& found) const;

    // Where the suites' reports go, process-wide (for instance to the log at error level).
    // Unset: standard error. The reporter is called from any thread, one call at a time,
    // with settings locks held: it must not use a Suite.
    using Reporter = std::function<void(const std::string& message)>;
    static void setReporter(Reporter reporter);

    // Adds entries to this process's registration domain of the suite (all handles of the
    // same name share it).
    void registerDefaults(const Dictionary& defaults);

    using ObserverId = std::uint64_t;
    using Observer = std::function<void(Suite& suite, const std::string& key,
                                        const std::optional<Value>& oldValue,
                                        const std::optional<Value>& newValue)>;
    // The first argument of a call is the handle the write went through.
    ObserverId addObserver(std::string key, Observer observer);
    void removeObserver(ObserverId id);

    ~Suite();
    Suite(const Suite&) = delete;
    Suite& operator=(const Suite&) = delete;

private:
    struct Shared;
    explicit Suite(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> shared_;
};

}  // namespace vorrel::platform
