#pragma once
// Suite: a per-user defaults suite, the key/value store both deliverables share.
//
// A suite is named; its values live in ${XDG_CONFIG_HOME:-$HOME/.config}/vorrel/<name>.json
// and keep their kind losslessly (see Value). Registered defaults live in memory only and
// are consulted last. Storing nothing removes the key.
//
// What happens on a write (setObject / removeObject):
//   1. Take the process-wide lock of the suite name, then an advisory lock (flock) on
//      <name>.json.lock, so threads and processes write one at a time.
//   2. Re-read the file (another process may have written since), apply the one change.
//   3. Write the whole dictionary to a temporary file in the same folder, fsync it, rename
//      it over <name>.json: a crash never leaves a half-written file.
//   4. Release the locks, then tell the key's observers (on this thread) old and new value.
// A read re-reads the file when it changed on disk since the last read (identity, size,
// modification time), so a reader sees another process's write at its next read.
// A file that cannot be parsed is renamed to <name>.json.corrupt-<timestamp> and the suite
// reads as empty; it is never overwritten in place. A file whose contents cannot be known
// (it cannot be read, or it cannot be parsed and could not be set aside) and a file whose
// permission bits make it read-only are never replaced: a write then fails and the file
// stays as it is.
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
// throw; they are reported on stderr and the operation does what it can. A write that is
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
