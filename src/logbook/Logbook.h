#pragma once
// Logbook: the leveled logger.
//
// A logger holds an ordered list of destinations. Each log call becomes one LogDetails
// record that is handed to every destination accepting its level; each destination
// renders its own line and writes it (console, file, ...).
//
// What happens on a call such as `log.debug("Converting", "run()")`:
//   1. The destinations whose level gate accepts `debug` are taken, in list order.
//   2. None: return at once; a message closure is not run.
//   3. The closure (or message) is evaluated once, on the caller's thread; a closure that
//      yields no value logs nothing.
//   4. One record is made (level, now, message, function, file, line, user info) and
//      every destination from step 1 processes it, in order.
//
// Call-site values: every form captures the calling function's name, source file and line
// through default arguments; pass an explicit function name where the caller wants its
// own ("run()").
//
// Forms per level (shown for debug; the same exists for every level but `none`):
//   debug(message [, functionName, fileName, lineNumber, userInfo])   message form
//   debug([CallSite, userInfo])                                       no-message form
//   debug(closure [, functionName, fileName, lineNumber, userInfo])   closure form
//   debugExec(closure)                                                runs the closure
//                                                                     when debug is enabled
// The same forms exist as statics on Logbook::Default, forwarding to defaultInstance().
// A closure may return text, any value printable with <<, or an optional of those
// (an empty optional suppresses the line).
//
// Thread-safety: log calls may come from any thread, also while another thread runs
// setup(), add(), remove() or changes output levels and the destinations' switches:
//   - the destination list is replaced, never changed in place; a log call works on the
//     list it found, which keeps every destination in it alive until the call returns
//     (a message closure may even remove destinations);
//   - a disabled call is decided by one relaxed atomic read: the lowest level any
//     destination accepts, kept up to date by add(), remove() and every change of a
//     destination's output level (BaseDestination reports it to its owner);
//   - levels, switches, owners and haveLoggedAppDetails are atomic.
// The other properties (identifier, noMessageClosure, levelDescriptions, filters,
// formatters, the date formatter, a destination's own lists) carry no lock: set them
// before logging starts. defaultInstance(), logQueue(), the default date formatter and
// internalUserInfo() are created once, thread-safely, and never destroyed, so logging
// stays usable from static destructors and from threads still running at exit. Lines
// submitted to logQueue() before the process starts ending normally are written then,
// within two seconds; threads that go on logging do not hold the exit.

#include <atomic>
#include <concepts>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "logbook/DateFormatter.h"
#include "logbook/DestinationProtocol.h"
#include "logbook/FilterProtocol.h"
#include "logbook/LogDetails.h"
#include "logbook/LogFileLocation.h"
#include "logbook/LogFormatterProtocol.h"
#include "logbook/LogLevel.h"
#include "logbook/SerialQueue.h"

namespace vorrel {

// The calling function, file and line, captured where the object is made by default.
struct CallSite {
    CallSite(std::string_view functionName = __builtin_FUNCTION(),
             std::string_view fileName = __builtin_FILE(), int lineNumber = __builtin_LINE())
        : functionName(functionName), fileName(fileName), lineNumber(lineNumber) {}
    std::string_view functionName;
    std::string_view fileName;
    int lineNumber;
};

namespace detail {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// A value's own textual description.
template <class T>
std::string describe(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return std::string(std::string_view(value));
    } else {
        std::ostringstream stream;
        stream << value;
        return std::move(stream).str();
    }
}

template <class Closure>
std::optional<std::string> describeResult(Closure& closure) {
    using Result = std::remove_cvref_t<std::invoke_result_t<Closure&>>;
    if constexpr (IsOptional<Result>::value) {
        auto result = closure();
        if (!result) {
            return std::nullopt;
        }
        return describe(*result);
    } else {
        return describe(closure());
    }
}

template <class F>
concept MessageProducer = std::invocable<F&> && !std::is_void_v<std::invoke_result_t<F&>>;

}  // namespace detail

class Logbook {
public:
    using Level = LogLevel;
    // Produces the message of a line; no value means "log nothing".
    using MessageClosure = std::function<std::optional<std::string>()>;

    struct Constants {
        static constexpr std::string_view baseIdentifier = "com.tessaline.logbook";
        static constexpr std::string_view defaultInstanceIdentifier =
            "com.tessaline.logbook.defaultInstance";
        static constexpr std::string_view baseConsoleDestinationIdentifier =
            "com.tessaline.logbook.logdestination.console";
        static constexpr std::string_view systemLogDestinationIdentifier =
            "com.tessaline.logbook.logdestination.console.nslog";
        static constexpr std::string_view fileDestinationIdentifier =
            "com.tessaline.logbook.logdestination.file";
        static constexpr std::string_view logQueueIdentifier = "com.tessaline.logbook.queue";
        static constexpr std::string_view userInfoKeyTags = "com.tessaline.logbook.tags";
        static constexpr std::string_view userInfoKeyDevs = "com.tessaline.logbook.devs";
        static constexpr std::string_view userInfoKeyInternal = "com.tessaline.logbook.internal";
        static constexpr std::string_view versionString = "7.1.5";
        static constexpr std::string_view extendedAttributeArchivedLogIdentifierKey =
            "com.tessaline.logbook.archived.by";
        static constexpr std::string_view extendedAttributeArchivedLogTimestampKey =
            "com.tessaline.logbook.archived.at";
    };

    static constexpr std::array<Level, 10> allCases = allLogLevelCases;
    static constexpr std::array<Level, 9> all = allLogLevels;

    // Answers the text value of an information-dictionary key of the running deliverable
    // ("CFBundleShortVersionString", "CFBundleVersion"), or nothing.
    using InfoDictionaryLookup = std::function<std::optional<std::string>(std::string_view key)>;

    struct Default;  // the static forms, forwarding to defaultInstance()

    // With includeDefaultDestinations, a ConsoleDestination with identifier
    // Constants::baseConsoleDestinationIdentifier (no queue) is attached.
    explicit Logbook(std::string identifier = std::string(Constants::baseIdentifier),
                     bool includeDefaultDestinations = true);
    // Detaches every destination it still owns (file destinations close their files).
    ~Logbook();
    Logbook(const Logbook&) = delete;
    Logbook& operator=(const Logbook&) = delete;

    // The process-wide logger "com.tessaline.logbook.defaultInstance", with the console
    // destination; created once on first use, never destroyed.
    static Logbook& defaultInstance();
    // The process-wide serial log queue labelled Constants::logQueueIdentifier; created
    // once on first use, never destroyed, stopped at normal process exit (see above).
    static SerialQueue& logQueue();
    // The user info of every record the logger makes about itself:
    // { userInfoKeyInternal: true }.
    static const UserInfo& internalUserInfo();

    // Installs the lookup behind the app-details line (default: answers nothing).
    static void setInfoDictionaryLookup(InfoDictionaryLookup lookup);

    // --- stored properties -------------------------------------------------------------
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    Level outputLevel() const { return outputLevel_.load(std::memory_order_relaxed); }
    // Stores the level and sets it on every destination, in list order.
    void setOutputLevel(Level level);

    // What the no-message forms log; by default the empty text, so they log a line with an
    // empty message.
    MessageClosure noMessageClosure = [] { return std::optional<std::string>(std::string()); };
    std::map<Level, std::string> levelDescriptions;
    std::optional<FormatterList> formatters;
    std::optional<FilterList> filters;

    // The custom date formatter when set, else the process-wide default
    // ("yyyy-MM-dd HH:mm:ss.SSS", local time).
    const DateFormatter& dateFormatter() const;
    void setDateFormatter(std::shared_ptr<const DateFormatter> formatter);
    const std::shared_ptr<const DateFormatter>& customDateFormatter() const { return customDateFormatter_; }

    using DestinationList = std::vector<std::shared_ptr<DestinationProtocol>>;
    // The destinations as they are now, in list order (a copy).
    DestinationList destinations() const { return *snapshot(); }

    // --- set-up and destinations -------------------------------------------------------
    // 1. outputLevel = level (propagated); 2. the console destination gets the seven
    // switches and the level; 3. with writeToFile, a FileDestination (identifier
    // Constants::fileDestinationIdentifier, no append, marker "-- ** ** ** --") gets the
    // switches and fileLevel (else level) and is added; 4. logAppDetails().
    void setup(Level level = Level::debug, bool showLogIdentifier = false,
               bool showFunctionName = true, bool showThreadName = false, bool showLevel = true,
               bool showFileNames = true, bool showLineNumbers = true, bool showDate = true,
               std::optional<LogFileLocation> writeToFile = std::nullopt,
               std::optional<Level> fileLevel = std::nullopt);

    // The first destination with that identifier, or null.
    std::shared_ptr<DestinationProtocol> destination(std::string_view identifier) const;
    // Refuses (false, nothing changed) a destination whose identifier is registered;
    // otherwise detaches it from a previous owner, sets owner = this and appends it.
    bool add(std::shared_ptr<DestinationProtocol> destination);
    // False unless the destination is owned by this logger and its identifier registered.
    // Clears its owner, then drops every destination that has no owner.
    bool remove(const std::shared_ptr<DestinationProtocol>& destination);
    bool remove(std::string_view identifier);

    // True when `level` is at or above the logger's output level.
    bool isEnabledFor(Level level) const { return level >= outputLevel(); }

    // Recomputes the cheap gate of disabled calls from the destinations' levels. A
    // destination calls it on its owner after its output level changed (BaseDestination
    // does); it must not be called while this logger is being destroyed.
    void destinationLevelChanged();

    // Writes the two app-details lines (process line, "Logbook Version: ... - Level: ...")
    // at info to the selected destination, or to all, once per destination.
    void logAppDetails(DestinationProtocol* selectedDestination = nullptr);

    // The logger's own messages: internal user info, no call site. A report at error or
    // above skips the destination whose identifier equals `source`'s.
    void _logln(std::string_view message, Level level = Level::debug,
                const DestinationProtocol* source = nullptr);

    // --- logging -----------------------------------------------------------------------
    // The central form: every other form reduces to it.
    void logln(Level level, std::string_view functionName, std::string_view fileName,
               int lineNumber, const UserInfo& userInfo, const MessageClosure& closure);

    // The message first, then the level and the call site.
    void logln(std::string_view message, Level level = Level::debug,
               std::string_view functionName = __builtin_FUNCTION(),
               std::string_view fileName = __builtin_FILE(), int lineNumber = __builtin_LINE(),
               UserInfo userInfo = {}) {
        if (anyDestinationEnabled(level)) {
            logln(level, functionName, fileName, lineNumber, userInfo,
                  [message] { return std::optional<std::string>(std::string(message)); });
        }
    }

    template <detail::MessageProducer Closure>
    void logln(Level level, Closure&& closure, std::string_view functionName = __builtin_FUNCTION(),
               std::string_view fileName = __builtin_FILE(), int lineNumber = __builtin_LINE(),
               UserInfo userInfo = {}) {
        if (anyDestinationEnabled(level)) {
            logln(level, functionName, fileName, lineNumber, userInfo,
                  [&closure] { return detail::describeResult(closure); });
        }
    }

    // Runs the closure only when the logger is enabled for `level`.
    template <std::invocable Closure>
    void exec(Level level, Closure&& closure) {
        if (isEnabledFor(level)) {
            std::forward<Closure>(closure)();
        }
    }

#define VORREL_LOGBOOK_LEVEL_FORMS(name, level)                                                  \
    void name(std::string_view message, std::string_view functionName = __builtin_FUNCTION(),   \
              std::string_view fileName = __builtin_FILE(), int lineNumber = __builtin_LINE(),   \
              UserInfo userInfo = {}) {                                                          \
        logln(message, level, functionName, fileName, lineNumber, std::move(userInfo));          \
    }                                                                                            \
    void name(CallSite callSite = CallSite(), UserInfo userInfo = {}) {                          \
        if (anyDestinationEnabled(level)) {                                                      \
            logln(level, callSite.functionName, callSite.fileName, callSite.lineNumber, userInfo, \
                  noMessageClosure);                                                             \
        }                                                                                        \
    }                                                                                            \
    template <detail::MessageProducer Closure>                                                   \
    void name(Closure&& closure, std::string_view functionName = __builtin_FUNCTION(),          \
              std::string_view fileName = __builtin_FILE(), int lineNumber = __builtin_LINE(),   \
              UserInfo userInfo = {}) {                                                          \
        logln(level, std::forward<Closure>(closure), functionName, fileName, lineNumber,        \
              std::move(userInfo));                                                              \
    }                                                                                            \
    template <std::invocable Closure>                                                            \
    void name##Exec(Closure&& closure) {                                                         \
        exec(level, std::forward<Closure>(closure));                                             \
    }

    VORREL_LOGBOOK_LEVEL_FORMS(verbose, Level::verbose)
    VORREL_LOGBOOK_LEVEL_FORMS(debug, Level::debug)
    VORREL_LOGBOOK_LEVEL_FORMS(info, Level::info)
    VORREL_LOGBOOK_LEVEL_FORMS(notice, Level::notice)
    VORREL_LOGBOOK_LEVEL_FORMS(warning, Level::warning)
    VORREL_LOGBOOK_LEVEL_FORMS(error, Level::error)
    VORREL_LOGBOOK_LEVEL_FORMS(severe, Level::severe)
    VORREL_LOGBOOK_LEVEL_FORMS(alert, Level::alert)
    VORREL_LOGBOOK_LEVEL_FORMS(emergency, Level::emergency)
#undef VORREL_LOGBOOK_LEVEL_FORMS

    std::string debugDescription() const;

private:
    // Whether any destination may accept `level`: the gate of a disabled call, one relaxed
    // atomic read. A call it lets through checks every destination again.
    bool anyDestinationEnabled(Level level) const {
        return rawValue(level) >= lowestAcceptedLevel_.load(std::memory_order_relaxed);
    }
    std::shared_ptr<const DestinationList> snapshot() const;
    // Replaces the list and recomputes the gate; the caller holds destinationsMutex_ and
    // releases the replaced list only after unlocking it.
    std::shared_ptr<const DestinationList> publish(DestinationList list);
    void refreshGateLocked();

    std::string identifier_;
    std::atomic<Level> outputLevel_{Level::debug};
    std::shared_ptr<const DateFormatter> customDateFormatter_;

    mutable std::mutex destinationsMutex_;
    std::shared_ptr<const DestinationList> destinations_;  // replaced whole under the mutex
    // The lowest raw level any destination accepts; above `none` while none accepts any.
    std::atomic<int> lowestAcceptedLevel_{rawValue(Level::none) + 1};
};

// Static forms: the same calls on Logbook::defaultInstance().
struct Logbook::Default {
    static void logln(std::string_view message, Level level = Level::debug,
                      std::string_view functionName = __builtin_FUNCTION(),
                      std::string_view fileName = __builtin_FILE(),
                      int lineNumber = __builtin_LINE(), UserInfo userInfo = {}) {
        defaultInstance().logln(message, level, functionName, fileName, lineNumber,
                                std::move(userInfo));
    }
    static void logln(Level level, std::string_view functionName, std::string_view fileName,
                      int lineNumber, const UserInfo& userInfo, const MessageClosure& closure) {
        defaultInstance().logln(level, functionName, fileName, lineNumber, userInfo, closure);
    }
    template <std::invocable Closure>
    static void exec(Level level, Closure&& closure) {
        defaultInstance().exec(level, std::forward<Closure>(closure));
    }

#define VORREL_LOGBOOK_STATIC_FORMS(name)                                                        \
    static void name(std::string_view message,                                                   \
                     std::string_view functionName = __builtin_FUNCTION(),                       \
                     std::string_view fileName = __builtin_FILE(),                               \
                     int lineNumber = __builtin_LINE(), UserInfo userInfo = {}) {                \
        defaultInstance().name(message, functionName, fileName, lineNumber, std::move(userInfo)); \
    }                                                                                            \
    static void name(CallSite callSite = CallSite(), UserInfo userInfo = {}) {                   \
        defaultInstance().name(callSite, std::move(userInfo));                                   \
    }                                                                                            \
    template <detail::MessageProducer Closure>                                                   \
    static void name(Closure&& closure, std::string_view functionName = __builtin_FUNCTION(),   \
                     std::string_view fileName = __builtin_FILE(),                               \
                     int lineNumber = __builtin_LINE(), UserInfo userInfo = {}) {                \
        defaultInstance().name(std::forward<Closure>(closure), functionName, fileName,          \
                               lineNumber, std::move(userInfo));                                 \
    }                                                                                            \
    template <std::invocable Closure>                                                            \
    static void name##Exec(Closure&& closure) {                                                  \
        defaultInstance().name##Exec(std::forward<Closure>(closure));                            \
    }

    VORREL_LOGBOOK_STATIC_FORMS(verbose)
    VORREL_LOGBOOK_STATIC_FORMS(debug)
    VORREL_LOGBOOK_STATIC_FORMS(info)
    VORREL_LOGBOOK_STATIC_FORMS(notice)
    VORREL_LOGBOOK_STATIC_FORMS(warning)
    VORREL_LOGBOOK_STATIC_FORMS(error)
    VORREL_LOGBOOK_STATIC_FORMS(severe)
    VORREL_LOGBOOK_STATIC_FORMS(alert)
    VORREL_LOGBOOK_STATIC_FORMS(emergency)
#undef VORREL_LOGBOOK_STATIC_FORMS
};

}  // namespace vorrel
