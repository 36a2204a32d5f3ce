#include "shared/PreviewFiles.h"

#include "platform/Paths.h"
#include "platform/Sha256.h"
#include "shared/AppGroup.h"

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
    std::string name = platform::sha256Hex(source);
    if (format == OutputFormat::PNG) name.append("@").append(std::to_string(resolution));
    name += ".";
    name += fileExtension(format);
    return folder / name;
}

}  // namespace vorrel
