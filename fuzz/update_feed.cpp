// Fuzz target: the update feed reader, on what a server could send.
#include <cstdint>
#include <cstdlib>

#include "updates/Appcast.h"

using namespace vorrel::platform;

namespace {

bool safe(const QUrl& link) {
    const QString scheme = link.scheme().toLower();
    return link.isEmpty() ||
           ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
            !link.host().isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray document(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::vector<AppcastItem> items;
    try {
        items = parseAppcast(document);
    } catch (const AppcastError&) {
        return 0;
    }
    // Every item kept has a dotted version and only links the host may open.
    for (const auto& item : items) {
        if (!isDottedVersion(item.version) || !safe(item.link) || !safe(item.releaseNotesLink))
            std::abort();
    }
    // The newest item is at least as new as every other.
    if (const auto newest = newestItem(items)) {
        for (const auto& item : items)
            if (compareVersions(newest->version, item.version).value_or(-1) < 0) std::abort();
    }
    return 0;
}
