#pragma once
// BaseDestination: the root of the concrete destinations. It renders records into lines
// and hands them to output(), which subclasses implement.
//
// Line of process() (nothing at all while the destination has no owner): each segment
// only when its switch is on, in this order, then "> " and the message:
//   1. showDate          the owner's dateFormatter rendering + " "
//   2. showLevel         "[" + level text + "] " (the destination's levelDescriptions entry,
//                        else the owner's, else the level's description)
//   3. showLogIdentifier "[" + owner identifier + "] "
//   4. showThreadName    threadSegment() (see ThreadName.h)
//   5. showFileName      "[" + last path component of fileName [+ ":" + line] + "] "
//                        (the line only with showLineNumber)
//   6. showLineNumber    "[" + line + "] ", only while showFileName is off
//   7. showFunctionName  functionName + " "
// e.g. "2026-01-31 14:05:09.042 [PreviewViewController:73] run() > Converting"
// processInternal() considers only segments 1-3, and its level text is always the
// level's own description.
//
// Rendering runs on the calling thread, so the thread segment names the caller.
// Thread-safety: the owner, the output level, haveLoggedAppDetails and the seven switches
// are atomic, so set-up may change them while other threads log; a change of the output
// level is reported to the owner (Logbook::destinationLevelChanged). The identifier,
// levelDescriptions, filters and formatters carry no lock: set them before logging.

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "logbook/DestinationProtocol.h"

namespace vorrel {

class BaseDestination : public DestinationProtocol,
                        public std::enable_shared_from_this<BaseDestination> {
public:
    explicit BaseDestination(Logbook* owner = nullptr, std::string identifier = {});

    Logbook* owner() const override { return owner_.load(std::memory_order_acquire); }
    void setOwner(Logbook* owner) override { owner_.store(owner, std::memory_order_release); }
    const std::string& identifier() const override { return identifier_; }
    void setIdentifier(std::string identifier) override { identifier_ = std::move(identifier); }
    LogLevel outputLevel() const override { return outputLevel_.load(std::memory_order_relaxed); }
    // Stores the level and tells the owner, whose gate of disabled calls depends on it.
    void setOutputLevel(LogLevel level) override;
    bool haveLoggedAppDetails() const override { return haveLoggedAppDetails_; }
    void setHaveLoggedAppDetails(bool logged) override { haveLoggedAppDetails_ = logged; }
    const std::optional<FormatterList>& formatters() const override { return formatters_; }
    void setFormatters(std::optional<FormatterList> formatters) override { formatters_ = std::move(formatters); }
    const std::optional<FilterList>& filters() const override { return filters_; }
    void setFilters(std::optional<FilterList> filters) override { filters_ = std::move(filters); }

    std::atomic<bool> showLogIdentifier = false;
    std::atomic<bool> showFunctionName = true;
    std::atomic<bool> showThreadName = false;
    std::atomic<bool> showFileName = true;
    std::atomic<bool> showLineNumber = true;
    std::atomic<bool> showLevel = true;
    std::atomic<bool> showDate = true;
    std::map<LogLevel, std::string> levelDescriptions;

    void process(const LogDetails& logDetails) override;
    void processInternal(const LogDetails& logDetails) override;
    bool isEnabledFor(LogLevel level) const override { return level >= outputLevel(); }
    std::string debugDescription() const override;

    // Emits a rendered line; every concrete destination overrides it.
    virtual void output(const LogDetails& logDetails, const std::string& message) = 0;

protected:
    std::string renderedDate(const Logbook& owner, const LogDetails& logDetails) const;

private:
    std::atomic<Logbook*> owner_;
    std::string identifier_;
    std::atomic<LogLevel> outputLevel_{LogLevel::debug};
    std::atomic<bool> haveLoggedAppDetails_ = false;
    std::optional<FormatterList> formatters_;
    std::optional<FilterList> filters_;
};

}  // namespace vorrel
