#pragma once
// DestinationProtocol: what a logger requires of a destination.
//
// A destination renders LogDetails records into lines and writes them somewhere. It is a
// reference type held by std::shared_ptr: the owning logger's `destinations` list keeps it
// alive, and `owner` is a non-owning back pointer to that logger (null while unattached).
// `identifier` is unique among one logger's destinations.
//
// Thread-safety: `process`, `processInternal` and `isEnabledFor` may be called from any
// thread, also while the owner attaches, detaches or re-levels the destination on another
// one; an implementation keeps `owner`, `outputLevel` and `haveLoggedAppDetails` safe for
// that (BaseDestination makes them atomic). `isEnabledFor` must accept every level at or
// above some lowest one, and a change of it must be reported to the owner with
// Logbook::destinationLevelChanged(), which keeps the gate of disabled calls exact.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logbook/FilterProtocol.h"
#include "logbook/LogDetails.h"
#include "logbook/LogFormatterProtocol.h"
#include "logbook/LogLevel.h"

namespace vorrel {

class Logbook;

using FilterList = std::vector<std::shared_ptr<FilterProtocol>>;
using FormatterList = std::vector<std::shared_ptr<LogFormatterProtocol>>;

class DestinationProtocol {
public:
    virtual ~DestinationProtocol() = default;

    virtual Logbook* owner() const = 0;
    virtual void setOwner(Logbook* owner) = 0;
    virtual const std::string& identifier() const = 0;
    virtual void setIdentifier(std::string identifier) = 0;
    virtual LogLevel outputLevel() const = 0;
    virtual void setOutputLevel(LogLevel level) = 0;
    virtual bool haveLoggedAppDetails() const = 0;
    virtual void setHaveLoggedAppDetails(bool logged) = 0;
    virtual const std::optional<FormatterList>& formatters() const = 0;
    virtual void setFormatters(std::optional<FormatterList> formatters) = 0;
    virtual const std::optional<FilterList>& filters() const = 0;
    virtual void setFilters(std::optional<FilterList> filters) = 0;

    // Renders and emits a record from an ordinary log call.
    virtual void process(const LogDetails& logDetails) = 0;
    // Renders and emits a record the logger makes about itself.
    virtual void processInternal(const LogDetails& logDetails) = 0;
    // True when `level` is at or above this destination's output level.
    virtual bool isEnabledFor(LogLevel level) const = 0;

    // The destination's filters if set, else its owner's, else none; the first filter
    // answering true suppresses the line.
    virtual bool shouldExclude(LogDetails& logDetails, std::string& message);
    // The destination's formatters if set, else its owner's, each in order, each seeing
    // the previous one's changes.
    virtual void applyFormatters(LogDetails& logDetails, std::string& message);

    // A diagnostic text listing the settings.
    virtual std::string debugDescription() const = 0;

    // The filters and formatters the two operations above would use, resolved now.
    std::optional<FilterList> effectiveFilters() const;
    std::optional<FormatterList> effectiveFormatters() const;

    // The shared behaviour of shouldExclude and applyFormatters on given lists.
    static bool excludedBy(const std::optional<FilterList>& filters, LogDetails& logDetails,
                           std::string& message);
    static void formatWith(const std::optional<FormatterList>& formatters,
                           LogDetails& logDetails, std::string& message);
};

}  // namespace vorrel
