#include "cache/PreviewFiles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <optional>

#include "cache/KeyIndex.h"
#include "platform/Paths.h"
#include "platform/Sha256.h"
#include "platform/AppGroup.h"
#include "platform/FileDescriptor.h"
#include "platform/PrintableText.h"

namespace vorrel {

ContainerUnavailableError::ContainerUnavailableError(const std::string& identifier)
    : std::system_error(std::make_error_code(std::errc::no_such_file_or_directory),
                        "The group container for \"" + identifier +
                            "\" could not be found, so the preview files folder \"tmp\" "
                            "does not exist") {}

std::filesystem::path previewFilesDirectory() {
    auto container = groupContainerURL();
    if (!container) throw ContainerUnavailableError(appGroupIdentifier());
    return *container / "tmp";
}

std::filesystem::path cachedFileURL(const std::filesystem::path& source, OutputFormat format,
                                    std::int64_t resolution) {
    const std::filesystem::path folder = previewFilesDirectory();
    platform::createPrivateFolders(folder);  // usually there already
    return folder / cachedFileName(sourceKey(source), format, resolution);
}

namespace {

std::atomic<std::int64_t> clockOffsetNs{0};

std::optional<platform::KeyIndex> keyIndex() {
    const auto container = groupContainerURL();
    if (!container) return std::nullopt;
    return platform::KeyIndex(*container / "keys.index", kKeyIndexEntries);
}

bool trusted(const platform::FileIdentity& identity, std::int64_t computedAtNs) {
    return std::max(identity.modifiedNs, identity.changedNs) + kTimestampGranularityNs <
           computedAtNs;
}

}  // namespace

KeyIndexClockOffset::KeyIndexClockOffset(std::chrono::nanoseconds offset) {
    clockOffsetNs = offset.count();
}

KeyIndexClockOffset::~KeyIndexClockOffset() { clockOffsetNs = 0; }

std::string sourceKey(const std::filesystem::path& source) {
    const platform::FileDescriptor file = platform::openToRead(source);
    if (!file)
        throw std::system_error(errno, std::generic_category(),
                                "cannot open \"" + platform::escapeControlCharacters(source.string()) + "\"");
    const int fd = file.get();
    auto index = keyIndex();
    const auto before = platform::identityOf(fd);
    if (index && before) {
        if (const auto entry = index->find(*before); entry && trusted(*before, entry->computedAtNs))
            return entry->key;
    }
    // Taken before the first byte is read: a change after it shows in the identity.
    const std::int64_t computedAt = platform::nowNanoseconds() + clockOffsetNs;
    std::string key = platform::sha256Hex(fd, source);
    if (index && before && platform::identityOf(fd) == before && trusted(*before, computedAt))
        index->record(*before, key, computedAt);
    return key;
}

void removeKeyIndex() {
    if (auto index = keyIndex()) index->remove();
}

std::string cachedFileName(const std::string& sha256Hex, OutputFormat format,
                           std::int64_t resolution) {
    std::string name = sha256Hex;
    if (format == OutputFormat::PNG) name.append("@").append(std::to_string(resolution));
    name += ".";
    name += fileExtension(format);
    return name;
}

}  // namespace vorrel
