#include "preview/headstart/HeadStart.h"

#include <string_view>
#include <system_error>
#include <thread>

#include "conversion/ConverterPolicy.h"
#include "conversion/Decompression.h"
#include "conversion/SourceKind.h"
#include "platform/Bundle.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "settings/Prefs.h"
#include "settings/SharedSettings.h"

namespace vorrel {

OutputFormat previewFormat() {
    return Prefs::get(transparentBackground()) ? OutputFormat::PNG : OutputFormat::PDF;
}

GhostScript previewConversion(const std::filesystem::path& file) {
    return GhostScript(file, previewFormat(), kPreviewResolution);
}

bool worthAHeadStart(const std::filesystem::path& file) {
    const platform::FileDescriptor fd = platform::openToRead(file, {.nonBlocking = true});
    if (!fd) return false;
    const auto status = platform::statusOf(fd.get());
    if (!status || !status->isRegular()) return false;
    char start[4] = {};
    const long got = platform::readSome(fd.get(), start, sizeof start);
    if (got < 2) return false;
    const std::string_view bytes(start, static_cast<std::size_t>(got));
    // "%!" begins every PostScript file; a DOS-binary EPS header is what contentIsEps() knows.
    return bytes.starts_with("%!") || contentIsEps(bytes) ||
           compressionOf(bytes) != Compression::none;
}

void runHeadStart(const std::filesystem::path& file, const std::filesystem::path& extensionFolder,
                  std::stop_token stop) {
    try {
        // The converter's policy is made on a second processor while the key is computed
        // (without a thread, when the run needs it).
        std::jthread policy;
        try {
            policy = std::jthread([] { ConverterPolicy::prepare(); });
        } catch (const std::system_error&) {
        }
        platform::Bundle::setMain(
            platform::Bundle(platform::extensionInfoDictionary(), extensionFolder));
        if (worthAHeadStart(file)) previewConversion(file).run(std::move(stop));
    } catch (...) {
        // The preview converts again and says what went wrong.
    }
}

}  // namespace vorrel
